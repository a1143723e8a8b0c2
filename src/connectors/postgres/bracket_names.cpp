#include "connectors/postgres/bracket_names.h"

#include <optional>

#include "connectors/common/sql_scan.h"

namespace oq::postgres {

namespace {

using connectors::IsNameChar;
using connectors::QuotedNames;
using connectors::SkipToken;

// The quoted identifier for the bracketed name that opens at `open`, and the index just past its
// closing bracket; nothing when the bracket does not close on the same line.
std::optional<std::pair<std::string, std::size_t>> QuotedName(std::string_view text,
                                                              std::size_t open) {
  std::string quoted = "\"";
  for (std::size_t i = open + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r') return std::nullopt;
    if (c == ']') {
      if (i + 1 < text.size() && text[i + 1] == ']') {
        quoted += ']';
        ++i;
        continue;
      }
      quoted += '"';
      return std::make_pair(std::move(quoted), i + 1);
    }
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return std::nullopt;
}

}  // namespace

std::string TranslateBracketNames(std::string_view statement) {
  // Most statements (every item insert) hold no bracket at all: finding that out is far cheaper
  // than tokenising them.
  if (statement.find('[') == std::string_view::npos) return std::string(statement);
  std::string out;
  out.reserve(statement.size() + 8);
  std::size_t i = 0;
  while (i < statement.size()) {
    if (statement[i] == '[') {
      // An operand right before the bracket makes it a subscript (`arr[1]`, `f(x)[1]`); after a
      // blank, a comma, an operator or an opening parenthesis it opens a name.
      const bool subscript = i > 0 && (IsNameChar(statement[i - 1]) || statement[i - 1] == ')' ||
                                       statement[i - 1] == ']' || statement[i - 1] == '"');
      if (!subscript) {
        if (auto name = QuotedName(statement, i)) {
          out += name->first;
          i = name->second;
          continue;
        }
      }
    }
    // Literals, "quoted names" and comments are copied whole, brackets inside them untouched.
    const std::size_t next = SkipToken(statement, i, QuotedNames::kDoubleQuotes);
    out.append(statement.substr(i, next - i));
    i = next;
  }
  return out;
}

}  // namespace oq::postgres
