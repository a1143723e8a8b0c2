#pragma once

#include <string_view>

namespace oq {

// The SQL dialects a host database may speak. The data-access manager writes expressions in
// them, and the demo schema is written in them.
enum class Dialect { kSqlite, kPostgres, kSqlServer, kAccess };

// A short lower-case name for messages: "sqlite", "postgresql", "sqlserver", "access".
constexpr std::string_view DialectName(Dialect dialect) {
  switch (dialect) {
    case Dialect::kSqlite:
      return "sqlite";
    case Dialect::kPostgres:
      return "postgresql";
    case Dialect::kSqlServer:
      return "sqlserver";
    case Dialect::kAccess:
      return "access";
  }
  return "unknown";
}

}  // namespace oq
