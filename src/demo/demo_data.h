#pragma once

#include <string_view>
#include <vector>

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::demo {

// One interno of the demo database and what it is there to show.
struct DemoInterno {
  std::string_view numero;
  std::string_view shows;
};

// The demo internos, in number order.
const std::vector<DemoInterno>& DemoInternos();

// Fills caratula, facturas and subitems (created by CreateInternosSchema) with the demo internos.
// The item tariff codes are those of DemoTariffCodes, so that the licence filters find the marks
// FillNcmDemo writes. Failures of the connection propagate.
void FillInternosDemo(HostConnection& connection, Dialect dialect);

}  // namespace oq::demo
