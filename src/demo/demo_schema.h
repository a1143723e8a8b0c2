#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::demo {

// What a column holds, as the demo schema declares it.
enum class ColumnKind { kText, kNumber, kInteger, kDate };

struct ColumnType {
  ColumnKind kind = ColumnKind::kText;
  int size = 0;   // characters of a text, precision of a number
  int scale = 0;  // decimals of a number
};

// The declared types of the copied columns, by index into the lists of engine/table_layouts.h.
ColumnType CaratulaColumnType(std::size_t index);
ColumnType SubitemsColumnType(std::size_t index);

// The value every new cover sheet gets in identificador_externo when an insert leaves it out.
inline constexpr std::string_view kIdentificadorExternoDefault = "";

// The type name of `type` in `dialect` (VARCHAR(40), NUMERIC(18,2), DATE...).
std::string TypeName(ColumnType type, Dialect dialect);
// A column name written so that `dialect` accepts it: names such as 001 in brackets, or in
// double quotes for PostgreSQL.
std::string QuotedName(std::string_view name, Dialect dialect);

// The statements that create the tables of the database of internos: caratula (its 87 copied
// columns, identificador_externo with a default), facturas, subitems (with an `id` that the
// database fills in insert order) and an index on interno for each table.
std::vector<std::string> InternosSchemaStatements(Dialect dialect);
// The statements that create table ncm ([001] position, [002] suffix, [003] description,
// [004] statistical unit, [005] import duty, [006] export duty, [059] licence mark) and its
// index on ([001], [002]). The index is not unique: a nomenclature may list a position twice.
std::vector<std::string> NcmSchemaStatements(Dialect dialect);

// Run the statements above through `connection`, one ejecutar per statement. A refused
// statement throws the connection's Failure; the tables created before it stay.
void CreateInternosSchema(HostConnection& connection, Dialect dialect);
void CreateNcmSchema(HostConnection& connection, Dialect dialect);

}  // namespace oq::demo
