#include "connectors/postgres/bracket_names.h"

#include <array>
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

// The index of the first byte from `i` on that may open a bracket name, a literal, a "quoted
// name" or a comment, or the text's size. Runs on every byte of every lookup.
std::size_t NextOpening(std::string_view text, std::size_t i) {
  static constexpr auto kOpens = [] {
    std::array<bool, 256> opens{};
    for (const unsigned char c : std::string_view("['\"-/")) opens[c] = true;
    return opens;
  }();
  while (i < text.size() && !kOpens[static_cast<unsigned char>(text[i])]) ++i;
  return i;
}

}  // namespace

std::string TranslateBracketNames(std::string_view statement) {
  // Most statements (every item insert) hold no bracket at all: finding that out is far cheaper
  // than scanning them.
  if (statement.find('[') == std::string_view::npos) return std::string(statement);
  std::string out;
  out.reserve(statement.size() + 8);
  std::size_t copied = 0;  // statement[0, copied) is in out
  std::size_t i = 0;
  // Only these bytes can open a bracket name, a literal, a "quoted name" or a comment; the text
  // between them is copied as it stands, in one piece.
  while ((i = NextOpening(statement, i)) < statement.size()) {
    if (statement[i] != '[') {
      // Literals, "quoted names" and comments are skipped whole, brackets inside them untouched.
      i = SkipToken(statement, i, QuotedNames::kDoubleQuotes);
      continue;
    }
    // An operand right before the bracket makes it a subscript (`arr[1]`, `f(x)[1]`); after a
    // blank, a comma, an operator or an opening parenthesis it opens a name.
    const bool subscript = i > 0 && (IsNameChar(statement[i - 1]) || statement[i - 1] == ')' ||
                                     statement[i - 1] == ']' || statement[i - 1] == '"');
    if (subscript) {
      ++i;
      continue;
    }
    auto name = QuotedName(statement, i);
    if (!name) {
      ++i;
      continue;
    }
    out.append(statement.substr(copied, i - copied));
    out += name->first;
    i = copied = name->second;
  }
  out.append(statement.substr(copied));
  return out;
}

}  // namespace oq::postgres
