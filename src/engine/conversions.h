#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/variant.h"

namespace oq::rt {

// The run-time conversions the copy procedures rely on. Functions that write numbers take the
// decimal separator of the user's regional settings explicitly, so callers pass the platform's.

// The leading number of a text: blanks, tabs and line feeds are ignored wherever they stand, the
// decimal mark is always ".", an optional sign and exponent are read, a leading &H or &O reads
// hexadecimal or octal digits, reading stops at the first character that cannot continue the
// number; a text that does not begin with a number gives 0. Hexadecimal and octal values of up to
// 16 bits are read as a 16-bit signed integer (&HFFFF is -1), larger ones up to 32 bits as a
// 32-bit signed integer. Throws Failure 6 "Overflow" for a number beyond the range of a double or
// hexadecimal/octal digits beyond 32 bits.
double Val(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour, as a 16-bit signed integer.
// Throws Failure 6 "Overflow" outside -32768..32767.
std::int16_t CInt(double value);

// A number as text: up to 15 significant digits, no exponent for ordinary magnitudes, no digit
// grouping, `decimalSeparator` as the decimal mark, no trailing zeros ("2.5" -> "2,5" under a comma
// locale; 3 -> "3"; 0.1 + 0.2 -> "0.3").
std::string NumberToText(double value, std::string_view decimalSeparator);

// A value as text, as the platform's plain conversion writes it: text as is, numbers through
// NumberToText, Boolean as "True"/"False", Empty as "". Throws Failure 94 for Null, 13 for objects.
std::string CStr(const Variant& value, std::string_view decimalSeparator);

// The number format "00.00": at least two digits before the decimal mark, exactly two after it,
// rounded to two decimals, no grouping, a leading minus for a negative value. Rounding works on
// the value's 15-significant-digit decimal form, halves away from zero (0.125 -> "00.13"); a
// negative value that rounds to zero is written without a minus. Throws Failure 6 for infinity
// or NaN.
std::string Format00_00(double value, std::string_view decimalSeparator);

// Every occurrence of `find` in `text` replaced by `with`, left to right, exact match. An empty
// `find` leaves the text unchanged.
std::string Replace(std::string_view text, std::string_view find, std::string_view with);

// The length of a UTF-8 text as the run-time counts characters: in UTF-16 code units, so a
// character outside the basic plane counts twice. Malformed UTF-8 counts by its lead bytes.
std::size_t Len(std::string_view text);

}  // namespace oq::rt
