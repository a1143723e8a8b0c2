#include "bench_schema.h"

#include <vector>

#include "demo/demo_schema.h"
#include "engine/table_layouts.h"

namespace oq::bench {

namespace {

std::string Script(const std::vector<std::string>& statements) {
  std::string script;
  for (const std::string& statement : statements) script += statement + ";\n";
  return script;
}

}  // namespace

std::string InternosSchemaScript() {
  return Script(demo::InternosSchemaStatements(Dialect::kSqlite));
}

std::string NcmSchemaScript() { return Script(demo::NcmSchemaStatements(Dialect::kSqlite)); }

std::string CoverSheetLiteral(std::size_t index) {
  const demo::ColumnType type = demo::CaratulaColumnType(index);
  switch (type.kind) {
    case demo::ColumnKind::kNumber:
      return std::to_string(10 + index % 7) + ".25";
    case demo::ColumnKind::kInteger:
      return std::to_string(index % 5);
    case demo::ColumnKind::kDate:
      return "'2024-05-2" + std::to_string(index % 9) + "'";
    case demo::ColumnKind::kText:
      break;
  }
  const std::string name(layout::kCaratula[index]);
  const std::string text = name.substr(0, 3) + std::to_string(index);
  return "'" + text.substr(0, static_cast<std::size_t>(type.size)) + "'";
}

}  // namespace oq::bench
