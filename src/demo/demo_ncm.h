#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::demo {

// How the NCM demo database treats an item's tariff code.
enum class Mark {
  kLicence,  // a row with [059] = '*'
  kEmpty,    // a row with [059] = ''
  kNull,     // a row with [059] NULL
  kAbsent,   // no row with that position and suffix
};

// A tariff code the demo items use: "8471.30.12.100" (position, separator, suffix), sometimes
// followed by a control letter.
struct TariffCode {
  std::string_view code;
  Mark mark;
  std::string_view description;
};

// The codes of the demo items, in a fixed order, grouped by mark (licence, empty, Null, absent).
const std::vector<TariffCode>& DemoTariffCodes();

// How many rows FillNcmDemo writes.
inline constexpr std::size_t kNcmDemoRows = 5000;

// Fills table ncm (created by CreateNcmSchema) with the rows of DemoTariffCodes that are not
// kAbsent and further generated positions up to kNcmDemoRows rows, all distinct in ([001],
// [002]). The rows are the same on every run. Failures of the connection propagate.
void FillNcmDemo(HostConnection& connection, Dialect dialect);

}  // namespace oq::demo
