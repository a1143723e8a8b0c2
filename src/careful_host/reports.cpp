#include "careful_host/reports.h"

#include "careful_host/preview_output.h"

namespace oq::careful {

void PrintCreated(std::ostream& out, const CreatedInterno& interno) {
  out << "created " << interno.interno << ": " << interno.items
      << (interno.items == 1 ? " item" : " items") << ", FOB " << FobText(interno.fob) << '\n';
}

nlohmann::ordered_json CreatedJson(const CreatedInterno& interno) {
  return {{"interno", interno.interno}, {"items", interno.items}, {"fob", interno.fob}};
}

nlohmann::ordered_json MessagesJson(const std::vector<ConsolePlatform::Message>& messages) {
  auto list = nlohmann::ordered_json::array();
  for (const auto& box : messages) list.push_back({{"style", box.style}, {"prompt", box.prompt}});
  return list;
}

nlohmann::ordered_json CopyResultJson(const CopyResult& result) {
  nlohmann::ordered_json out;
  out["log"] = result.log;
  out["copias"] = result.copias;
  out["messages"] = MessagesJson(result.messages);
  out["pointer"] = result.pointer ? nlohmann::ordered_json(*result.pointer) : nullptr;
  out["created"] = nlohmann::ordered_json::array();
  for (const CreatedInterno& interno : result.created)
    out["created"].push_back(CreatedJson(interno));
  return out;
}

std::string JsonText(const nlohmann::ordered_json& json) {
  return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace oq::careful
