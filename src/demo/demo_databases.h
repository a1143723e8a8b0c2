#pragma once

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::demo {

// Creates the demo tables with their data in two existing databases, for instance on a database
// server: the database of internos through `internos` (written in `internosDialect`) and table
// ncm through `ncm` (in `ncmDialect`); the two may be the same database. With `replace`, tables of
// those names that are already there are dropped first (caratula, facturas, subitems; ncm), and
// nothing else is touched; without it an existing table makes the creation fail. Failures of the
// connections propagate; the tables written before a failure stay.
void CreateDemoDatabases(HostConnection& internos, Dialect internosDialect, HostConnection& ncm,
                         Dialect ncmDialect, bool replace);

}  // namespace oq::demo
