#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace oq::connectors {

// Which quoted-name forms a scanner treats as opaque, besides "..." which every engine has.
enum class QuotedNames {
  kDoubleQuotes,  // only "..."
  kAllForms,      // "...", [...] and `...`
};

// True for a byte that may appear inside an unquoted SQL name: letters, digits, '_', '$' and the
// bytes of multi-byte characters (above 0x7F), which the engines accept in names.
// ASCII only, whatever the locale: it runs on every byte of every statement.
inline bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || c == '_' ||
         c == '$' || u >= 0x80;
}

// The index just past the string literal ('...'), quoted name (see QuotedNames) or comment
// (-- to end of line, /* ... */) that starts at `i`, or i + 1 when none starts there. A doubled
// quote inside its own kind of quotes ('' or "") stays inside; an unterminated token runs to the
// end of the text. `i` must be < sql.size(). Never throws.
std::size_t SkipToken(std::string_view sql, std::size_t i, QuotedNames names);

// `text` upper-cased byte by byte with std::toupper (entity names and keywords are ASCII).
std::string AsciiUpper(std::string text);

}  // namespace oq::connectors
