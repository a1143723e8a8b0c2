#include "connectors/postgres/bracket_names.h"

#include <cctype>
#include <optional>

namespace oq::postgres {

namespace {

bool IsNameChar(char c) {
  // Bytes above 0x7F belong to multi-byte characters, which PostgreSQL accepts in names.
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '$' ||
         static_cast<unsigned char>(c) >= 0x80;
}

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

// Index just past the run that starts at `pos` and ends with `terminator` (or the end of text).
std::size_t SkipPast(std::string_view text, std::size_t pos, std::string_view terminator) {
  const std::size_t end = text.find(terminator, pos);
  return end == std::string_view::npos ? text.size() : end + terminator.size();
}

}  // namespace

std::string TranslateBracketNames(std::string_view statement) {
  std::string out;
  out.reserve(statement.size() + 8);
  std::size_t i = 0;
  while (i < statement.size()) {
    const char c = statement[i];
    std::size_t next = i + 1;
    if (c == '\'') {
      // A doubled quote inside a literal simply closes and reopens it, so this needs no special
      // case.
      next = SkipPast(statement, i + 1, "'");
    } else if (c == '"') {
      next = SkipPast(statement, i + 1, "\"");
    } else if (c == '-' && statement.substr(i, 2) == "--") {
      next = SkipPast(statement, i + 2, "\n");
    } else if (c == '/' && statement.substr(i, 2) == "/*") {
      next = SkipPast(statement, i + 2, "*/");
    } else if (c == '[') {
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
    out.append(statement.substr(i, next - i));
    i = next;
  }
  return out;
}

}  // namespace oq::postgres
