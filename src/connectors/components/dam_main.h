#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "connectors/components/dialect.h"
#include "host/data_access_manager.h"

namespace oq::components {

// Entity name (upper case) -> dialect of the database that serves it.
using DialectMap = std::map<std::string, Dialect>;

// The failure number for an entity the manager does not know: the classic "Invalid procedure
// call or argument".
inline constexpr std::int32_t kUnknownEntity = 5;

// "INTERNOS" and "NCM", both SQLite: what the program's demo databases use.
DialectMap DefaultDialects();

// The data-access manager registered as "DataAccessManager.DAMMain". Entity names are matched
// without regard to case. Not thread-safe: one host thread sets it up and uses it.
class DamMain : public DataAccessManager {
 public:
  explicit DamMain(DialectMap dialects = DefaultDialects());

  // Adds or replaces the dialect of `entity`.
  void SetDialect(const std::string& entity, Dialect dialect);
  // Throws Failure kUnknownEntity (source "DataAccessManager.DAMMain") for an unknown entity.
  Dialect DialectOf(const std::string& entity) const;

  // SQLite: substr(text, start, length); PostgreSQL and SQL Server: SUBSTRING(text, start,
  // length); Access: Mid(text, start, length). The arguments are spliced in unchanged.
  // Throws Failure kUnknownEntity for an unknown entity.
  std::string getMidFormatbyEntity(const std::string& entity, const std::string& text,
                                   const std::string& start, const std::string& length) override;

 private:
  DialectMap dialects_;
};

}  // namespace oq::components
