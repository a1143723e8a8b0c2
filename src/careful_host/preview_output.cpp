#include "careful_host/preview_output.h"

#include <charconv>
#include <cstdio>

#include "engine/conversions.h"

namespace oq::careful {

namespace {

bool Listed(const PreviewItem& item, const std::string& option) {
  if (option == "con-lapi") return item.conKeeps;
  if (option == "sin-lapi") return item.sinKeeps;
  return true;
}

std::string Line(const char* format, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

}  // namespace

std::string FobText(double fob) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, fob, std::chars_format::fixed, 2).ptr;
  return std::string(text, end);
}

nlohmann::ordered_json FobdivisasJson(const Preview& preview) {
  if (preview.sourceFob) return *preview.sourceFob;
  if (!preview.sourceFobText.empty()) return preview.sourceFobText;
  return nullptr;
}

void PrintPreview(std::ostream& out, const Preview& preview, const std::string& option) {
  out << "Interno " << preview.source << ": " << preview.items.size()
      << " items (nothing is written)\n"
      << Line("%8s  %-16s %-10s %-6s %-13s %-3s %-3s %14s\n", "id", "ncm", "position", "suffix",
              "ncm holds", "con", "sin", "FOB");
  for (const PreviewItem& item : preview.items) {
    if (!Listed(item, option)) continue;
    out << Line("%8lld  %-16s %-10s %-6s %-13s %-3s %-3s %14s\n", item.id, item.ncm.c_str(),
                item.position.c_str(), item.suffix.c_str(), item.mark.c_str(),
                item.conKeeps ? "yes" : "no", item.sinKeeps ? "yes" : "no",
                FobText(item.fob).c_str());
  }
  const auto total = [&](const char* what, const PreviewTotals& totals) {
    out << Line("%-28s %6ld items, FOB %s\n", what, totals.items, FobText(totals.fob).c_str());
  };
  total("kept by con LAPI:", preview.con);
  total("kept by sin LAPI:", preview.sin);
  total("in neither copy:", preview.neither);
  out << "source cover sheet FOB (fobdivisas): " << SourceFobShown(preview) << '\n';
}

nlohmann::ordered_json PreviewJson(const Preview& preview, const std::string& option) {
  nlohmann::ordered_json out;
  out["source"] = preview.source;
  out["items"] = nlohmann::ordered_json::array();
  for (const PreviewItem& item : preview.items) {
    if (!Listed(item, option)) continue;
    out["items"].push_back({{"id", item.id},
                            {"ncm", item.ncm},
                            {"position", item.position},
                            {"suffix", item.suffix},
                            {"mark", item.mark},
                            {"fob", item.fob},
                            {"con", item.conKeeps},
                            {"sin", item.sinKeeps}});
  }
  for (const auto& [name, totals] :
       {std::pair{"con", preview.con}, {"sin", preview.sin}, {"neither", preview.neither}}) {
    out[name] = {{"items", totals.items}, {"fob", totals.fob}};
  }
  out["fobdivisas"] = FobdivisasJson(preview);
  return out;
}

}  // namespace oq::careful
