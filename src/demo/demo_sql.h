#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::demo {

// SQL literals for the demo data. Each function returns the text to splice into a statement.

// 'text' with single quotes doubled; NULL when there is no value.
std::string TextLiteral(std::optional<std::string_view> text);
// The number with "." as decimal separator and at most `decimals` decimals (trailing zeros
// dropped), whatever the process's locale; NULL when there is no value.
std::string NumberLiteral(std::optional<double> value, int decimals = 4);
// A date given as "YYYY-MM-DD", in the form `dialect` reads as a date; NULL when there is none.
std::string DateLiteral(std::optional<std::string_view> isoDate, Dialect dialect);

// Inserts `rows` (each the parenthesised value list of one row) into `table (columns)`, several
// rows per statement where the dialect allows it. Failures of the connection propagate.
void InsertRows(HostConnection& connection, Dialect dialect, const std::string& table,
                const std::string& columns, const std::vector<std::string>& rows);

}  // namespace oq::demo
