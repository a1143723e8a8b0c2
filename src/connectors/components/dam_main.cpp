#include "connectors/components/dam_main.h"

#include "connectors/common/sql_scan.h"
#include "host/class_identity.h"
#include "host/failure.h"

namespace oq::components {

namespace {
std::string Folded(std::string name) { return connectors::AsciiUpper(std::move(name)); }
}  // namespace

DialectMap DefaultDialects() { return {{"INTERNOS", Dialect::kSqlite}, {"NCM", Dialect::kSqlite}}; }

DamMain::DamMain(DialectMap dialects) {
  for (auto& [entity, dialect] : dialects) dialects_[Folded(entity)] = dialect;
}

void DamMain::SetDialect(const std::string& entity, Dialect dialect) {
  dialects_[Folded(entity)] = dialect;
}

Dialect DamMain::DialectOf(const std::string& entity) const {
  const auto it = dialects_.find(Folded(entity));
  if (it == dialects_.end()) {
    throw Failure(kUnknownEntity,
                  "Invalid procedure call or argument: unknown entity '" + entity + "'",
                  std::string(identity::kDataAccessManagerProgId));
  }
  return it->second;
}

std::string DamMain::getMidFormatbyEntity(const std::string& entity, const std::string& text,
                                          const std::string& start, const std::string& length) {
  const std::string arguments = "(" + text + ", " + start + ", " + length + ")";
  switch (DialectOf(entity)) {
    case Dialect::kSqlite:
      return "substr" + arguments;
    case Dialect::kPostgres:
    case Dialect::kSqlServer:
      return "SUBSTRING" + arguments;
    case Dialect::kAccess:
      return "Mid" + arguments;
  }
  return "substr" + arguments;
}

}  // namespace oq::components
