#pragma once

#include "connectors/components/dam_main.h"

namespace oq::components {

// Registers "DataAccessManager.DAMMain" (a new DamMain over `dialects` per creation) and
// "cFORMAT.Main" (a new FormatMain per creation) in oq::ComponentRegistry, replacing earlier
// registrations of those names. Thread-safe, as the registry is.
void RegisterHostComponents(DialectMap dialects = DefaultDialects());

}  // namespace oq::components
