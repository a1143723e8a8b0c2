#include "demo/demo_sql.h"

#include <charconv>
#include <cmath>

namespace oq::demo {

std::string TextLiteral(std::optional<std::string_view> text) {
  if (!text) return "NULL";
  std::string literal = "'";
  for (char c : *text) {
    if (c == '\'') literal += '\'';
    literal += c;
  }
  return literal + "'";
}

std::string NumberLiteral(std::optional<double> value, int decimals) {
  if (!value) return "NULL";
  // to_chars ignores the C locale, so a comma locale cannot turn 1.5 into 1,5 here.
  char buffer[64];
  const double rounded = std::round(*value * std::pow(10.0, decimals)) / std::pow(10.0, decimals);
  auto [end, ec] =
      std::to_chars(buffer, buffer + sizeof buffer, rounded, std::chars_format::fixed, decimals);
  std::string text(buffer, ec == std::errc() ? end : buffer);
  if (text.find('.') != std::string::npos) {
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
  }
  return text == "-0" ? "0" : text;
}

std::string DateLiteral(std::optional<std::string_view> isoDate, Dialect dialect) {
  if (!isoDate) return "NULL";
  const std::string date(*isoDate);
  switch (dialect) {
    case Dialect::kPostgres:
      return "DATE '" + date + "'";
    case Dialect::kAccess:
      return "#" + date + "#";
    default:
      return "'" + date + "'";  // SQLite keeps ISO dates as text; SQL Server reads them
  }
}

void InsertRows(HostConnection& connection, Dialect dialect, const std::string& table,
                const std::string& columns, const std::vector<std::string>& rows) {
  // Access takes one row per INSERT; SQL Server takes at most 1000.
  const std::size_t batch = dialect == Dialect::kAccess ? 1 : 250;
  for (std::size_t first = 0; first < rows.size(); first += batch) {
    std::string statement = "INSERT INTO " + table + " (" + columns + ") VALUES\n";
    for (std::size_t i = first; i < rows.size() && i < first + batch; ++i) {
      if (i != first) statement += ",\n";
      statement += rows[i];
    }
    connection.put_sql(statement);
    connection.ejecutar();
  }
}

}  // namespace oq::demo
