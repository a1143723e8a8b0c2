#pragma once

#include <array>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "host/host_connection.h"

namespace oq::careful {

// The tables an interno's rows live in, parents first.
inline constexpr std::array<const char*, 3> kInternoTables = {"caratula", "facturas", "subitems"};

// What an interno held at one moment, compact enough to keep: its cover sheet's FOB, its item
// count and, for each table of kInternoTables, a print of every row (FNV-1a 64 over each column's
// name, kind and value), sorted. Two reads give the same prints exactly when every row has the
// same values, whatever order the database returns them in.
struct InternoPrint {
  double fob = 0;
  long items = 0;
  std::array<std::vector<std::string>, 3> rows;

  bool operator==(const InternoPrint&) const = default;
};

// The print of `number` as `internos` holds it now, nothing when it has no cover sheet. Throws
// Failure when a table cannot be read.
std::optional<InternoPrint> ReadPrint(HostConnection& internos, const std::string& number);

// What changed from `recorded` to `now`, one phrase each ("a different FOB (12.5, now 13)",
// "1 item edited", "2 invoices added", "the cover sheet edited"); empty when nothing did.
std::vector<std::string> Changes(const InternoPrint& recorded, const InternoPrint& now);

nlohmann::json PrintJson(const InternoPrint& print);
// Throws nlohmann::json::exception when `json` is not a print.
InternoPrint PrintFromJson(const nlohmann::json& json);

}  // namespace oq::careful
