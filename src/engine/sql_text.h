#pragma once

#include <string>
#include <string_view>

#include "host/variant.h"

namespace oq::sql {

// The body of a text literal: every single quote doubled. Callers put the surrounding quotes, as
// the statements are written with them: "... where interno = '" + Escape(number) + "'". No value
// that passes through here can end its literal and change the statement's meaning.
// Throws Failure 5 for a text that holds a NUL character: statement texts end at the first NUL,
// so no literal can carry one, and a cut statement is refused rather than sent.
std::string Escape(std::string_view text);
// The same, appended to `out`; `out` is left untouched when it throws.
void AppendEscaped(std::string& out, std::string_view text);
// The whole text literal, quotes around it, appended to `out`; untouched when it throws.
void AppendQuoted(std::string& out, std::string_view text);

// Whether `text` is a plain decimal number, which every SQL dialect reads as one number literal:
// an optional sign, digits, optionally "." and digits, optionally an exponent (E or e, an optional
// sign, digits). No blanks, no other character.
bool IsDecimalNumber(std::string_view text);

// The literal written where a statement takes a number. The value's text as the regional
// conversion writes it, with every "," replaced by ".", goes in unquoted when that is a decimal
// number; any other value goes in as a quoted text literal of its text as it is, so that a column
// that held text gets the same text back and nothing in it can change the statement. An infinite
// value is written 9e999 or -9e999, which an engine that holds infinities reads back as one and
// any other refuses as out of range; NaN is written 'NaN', the text engines that hold a NaN read
// back as one. Throws Failure 94 for Null, 13 for an object and 5 for a text holding a NUL.
std::string NumberLiteral(const Variant& value, std::string_view decimalSeparator);

}  // namespace oq::sql
