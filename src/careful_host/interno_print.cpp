#include "careful_host/interno_print.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <iterator>

#include "connectors/common/snapshot_recordset.h"
#include "engine/conversions.h"
#include "engine/sql_text.h"
#include "host/failure.h"

namespace oq::careful {

namespace {

struct Fnv {
  std::uint64_t hash = 14695981039346656037ull;
  // Each text is framed by its length, so that "ab" then "c" differs from "a" then "bc".
  void Add(const std::string& text) {
    for (const unsigned char c : std::to_string(text.size()) + ':' + text) {
      hash = (hash ^ c) * 1099511628211ull;
    }
  }
};

std::string ValueText(const Variant& value) {
  using Kind = Variant::Kind;
  char text[40];
  switch (value.kind()) {
    case Kind::kString:
      return "s" + value.asString();
    case Kind::kDouble:
      std::snprintf(text, sizeof text, "d%.17g", value.toDouble());
      return text;
    case Kind::kBoolean:
    case Kind::kInteger:
    case Kind::kLong:
    case Kind::kLongLong:
      return "i" + std::to_string(value.toInt64());
    case Kind::kNull:
    case Kind::kEmpty:
      return "n";
    case Kind::kObject:
      break;
  }
  return "o";
}

std::string RowPrint(connectors::SnapshotRecordset& rows) {
  Fnv fnv;
  for (std::size_t c = 0; c < rows.FieldCount(); ++c) {
    Field& field = rows.FieldAt(c);
    fnv.Add(field.Name());
    fnv.Add(ValueText(field.Value()));
  }
  char text[20];
  std::snprintf(text, sizeof text, "%016" PRIx64, fnv.hash);
  return text;
}

// One phrase per kind of change between two sorted lists of row prints.
void RowChanges(const std::vector<std::string>& was, const std::vector<std::string>& now,
                const std::string& noun, std::vector<std::string>& out) {
  std::vector<std::string> gone, fresh;
  std::ranges::set_difference(was, now, std::back_inserter(gone));
  std::ranges::set_difference(now, was, std::back_inserter(fresh));
  const std::size_t edited = std::min(gone.size(), fresh.size());
  auto say = [&](std::size_t n, const char* what) {
    if (n > 0) out.push_back(std::to_string(n) + " " + noun + (n == 1 ? " " : "s ") + what);
  };
  say(edited, "edited");
  say(fresh.size() - edited, "added");
  say(gone.size() - edited, "removed");
}

}  // namespace

std::optional<InternoPrint> ReadPrint(HostConnection& internos, const std::string& number) {
  InternoPrint print;
  for (std::size_t t = 0; t < kInternoTables.size(); ++t) {
    internos.put_sql(std::string("select * from ") + kInternoTables[t] + " where interno = '" +
                     sql::Escape(number) + "'");
    Variant result;
    const bool any = internos.crearrs(result).isTrue();
    if (t == 0 && !any) return std::nullopt;
    auto* rows = dynamic_cast<connectors::SnapshotRecordset*>(result.asObject().get());
    if (rows == nullptr) throw Failure(5, "the rows of an interno cannot be read whole");
    for (; !rows->Eof(); rows->MoveNext()) {
      if (t == 0) {
        const Variant fob = rows->Fields("fobdivisas").Value();
        print.fob = fob.isNumeric() ? fob.toDouble() : 0;
      }
      print.rows[t].push_back(RowPrint(*rows));
    }
    std::ranges::sort(print.rows[t]);
  }
  print.items = static_cast<long>(print.rows[2].size());
  return print;
}

std::vector<std::string> Changes(const InternoPrint& recorded, const InternoPrint& now) {
  std::vector<std::string> changes;
  if (recorded.fob != now.fob) {
    changes.push_back("a different FOB (" + rt::NumberToText(recorded.fob, ".") + ", now " +
                      rt::NumberToText(now.fob, ".") + ")");
  } else if (recorded.rows[0] != now.rows[0]) {
    changes.emplace_back("the cover sheet edited");
  }
  RowChanges(recorded.rows[1], now.rows[1], "invoice", changes);
  RowChanges(recorded.rows[2], now.rows[2], "item", changes);
  return changes;
}

nlohmann::json PrintJson(const InternoPrint& print) {
  return {{"fob", print.fob},
          {"items", print.items},
          {"caratula", print.rows[0]},
          {"facturas", print.rows[1]},
          {"subitems", print.rows[2]}};
}

InternoPrint PrintFromJson(const nlohmann::json& json) {
  InternoPrint print;
  print.fob = json.at("fob").get<double>();
  print.items = json.at("items").get<long>();
  for (std::size_t t = 0; t < kInternoTables.size(); ++t) {
    print.rows[t] = json.at(kInternoTables[t]).get<std::vector<std::string>>();
  }
  return print;
}

}  // namespace oq::careful
