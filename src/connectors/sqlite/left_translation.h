#pragma once

#include <string>
#include <string_view>

namespace oq::sqlite {

// Rewrites every call `left(x, n)` in `sql` into `substr(x, 1, n)`, which SQLite accepts: SQLite
// reads `left` as the start of LEFT JOIN, so no registered function can answer that name.
//
// A call is the word `left` (any case, not part of a longer name) followed by optional blanks and
// "(" with exactly two arguments at the top level of its parentheses. Text inside string literals
// ('...'), quoted identifiers ("...", [...], `...`) and comments is never touched, and arguments
// are translated too, so nested calls work. Anything else, `LEFT JOIN` included, and a `left(`
// whose parentheses do not balance or that does not have two arguments, is copied unchanged.
// Never throws (other than std::bad_alloc).
std::string TranslateLeftCalls(std::string_view sql);

}  // namespace oq::sqlite
