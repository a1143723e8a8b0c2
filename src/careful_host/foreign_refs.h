#pragma once

#include <optional>
#include <string>
#include <vector>

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::careful {

// A foreign key of the schema that points at one of the interno tables: `child`'s `columns`
// refer to `parent`'s `referenced` columns.
struct ForeignKey {
  std::string child, parent;
  std::vector<std::string> columns, referenced;
};

// The foreign keys of the database that point at caratula, facturas or subitems: SQLite's
// foreign_key_list, PostgreSQL's pg_constraint. Throws Failure when the catalog cannot be read.
std::vector<ForeignKey> KeysIntoInternos(HostConnection& internos, Dialect dialect);

// How rows that are not `number`'s own refer to its rows through one of `keys` ("rows of
// liquidaciones refer to its caratula"), nothing when none do. Throws Failure.
std::optional<std::string> ReferenceInto(HostConnection& internos,
                                         const std::vector<ForeignKey>& keys,
                                         const std::string& number);

}  // namespace oq::careful
