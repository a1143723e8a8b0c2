#include "connectors/common/sql_scan.h"

#include <algorithm>
#include <cctype>

namespace oq::connectors {

std::size_t SkipToken(std::string_view sql, std::size_t i, QuotedNames names) {
  auto closeAt = [&](char close) {
    std::size_t j = i + 1;
    while (j < sql.size()) {
      if (sql[j] == close) {
        // '' and "" inside their own kind of quotes are an escaped quote, not the end.
        if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return sql.size();
  };
  auto skipPast = [&](std::size_t from, std::string_view terminator) {
    const std::size_t end = sql.find(terminator, from);
    return end == std::string_view::npos ? sql.size() : end + terminator.size();
  };
  const bool allForms = names == QuotedNames::kAllForms;
  switch (sql[i]) {
    case '\'':
      return closeAt('\'');
    case '"':
      return closeAt('"');
    case '`':
      return allForms ? closeAt('`') : i + 1;
    case '[':
      return allForms ? closeAt(']') : i + 1;
    case '-':
      return sql.substr(i, 2) == "--" ? skipPast(i + 2, "\n") : i + 1;
    case '/':
      return sql.substr(i, 2) == "/*" ? skipPast(i + 2, "*/") : i + 1;
    default:
      return i + 1;
  }
}

std::string AsciiUpper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

}  // namespace oq::connectors
