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
  // The entity is asked by its upper-case name nearly every time: found without folding a copy.
  auto it = dialects_.find(entity);
  if (it == dialects_.end()) it = dialects_.find(Folded(entity));
  if (it == dialects_.end()) {
    throw Failure(kUnknownEntity,
                  "Invalid procedure call or argument: unknown entity '" + entity + "'",
                  std::string(identity::kDataAccessManagerProgId));
  }
  return it->second;
}

std::string DamMain::getMidFormatbyEntity(const std::string& entity, const std::string& text,
                                          const std::string& start, const std::string& length) {
  std::string_view function = "substr";
  switch (DialectOf(entity)) {
    case Dialect::kSqlite:
      break;
    case Dialect::kPostgres:
    case Dialect::kSqlServer:
      function = "SUBSTRING";
      break;
    case Dialect::kAccess:
      function = "Mid";
      break;
  }
  // Asked once per looked-up item: written in one piece.
  std::string call;
  call.reserve(function.size() + text.size() + start.size() + length.size() + 6);
  call += function;
  call += '(';
  call += text;
  call += ", ";
  call += start;
  call += ", ";
  call += length;
  call += ')';
  return call;
}

}  // namespace oq::components
