#pragma once

#include <string>
#include <string_view>

namespace oq::sql {

// The body of a text literal: every single quote doubled. Callers put the surrounding quotes, as
// the statements are written with them: "... where interno = '" + Escape(number) + "'". No value
// that passes through here can end its literal and change the statement's meaning.
std::string Escape(std::string_view text);

}  // namespace oq::sql
