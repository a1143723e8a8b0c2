#pragma once

#include <string>
#include <string_view>

namespace oq::postgres {

// Rewrites the bracketed names of a statement (`[001]`, `[my name]`) as PostgreSQL's quoted
// identifiers (`"001"`, `"my name"`), so that statements written for engines that accept brackets
// run unchanged on PostgreSQL. Text inside string literals ('...', with '' as an embedded quote),
// inside quoted identifiers ("...") and inside comments (-- to end of line, /* ... */) is left
// as it is. A `[` that directly follows (no blank between) a name, a number, `)`, `]` or `"` is
// an array subscript and is left alone, as is a `[` whose `]` is not on the same line. Inside a
// bracketed name `]]` stands for one `]`; a `"` is doubled in the quoted result. Never throws
// except std::bad_alloc.
std::string TranslateBracketNames(std::string_view statement);

}  // namespace oq::postgres
