#include "engine/sql_text.h"

#include <cmath>

#include "engine/conversions.h"
#include "host/failure.h"

namespace oq::sql {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips a run of digits from `at`; returns how many there were.
std::size_t SkipDigits(std::string_view text, std::size_t& at) {
  const std::size_t start = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  return at - start;
}

}  // namespace

std::string Escape(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) {
    throw Failure(err::kInvalidProcedureCall,
                  "Invalid procedure call or argument: a text holding a NUL character cannot be "
                  "written into a statement");
  }
  std::string escaped;
  escaped.reserve(text.size() + 2);
  for (char c : text) {
    escaped += c;
    if (c == '\'') escaped += '\'';
  }
  return escaped;
}

bool IsDecimalNumber(std::string_view text) {
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  if (SkipDigits(text, at) == 0) return false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    if (SkipDigits(text, at) == 0) return false;
  }
  if (at < text.size() && (text[at] == 'E' || text[at] == 'e')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (SkipDigits(text, at) == 0) return false;
  }
  return at == text.size();
}

std::string NumberLiteral(const Variant& value, std::string_view decimalSeparator) {
  if (value.kind() == Variant::Kind::kDouble) {
    const double number = value.toDouble();
    if (std::isnan(number)) return "'NaN'";
    if (std::isinf(number)) return number > 0 ? "9e999" : "-9e999";
  }
  const std::string text = rt::CStr(value, decimalSeparator);
  std::string number = rt::Replace(text, ",", ".");
  if (IsDecimalNumber(number)) return number;
  return "'" + Escape(text) + "'";
}

}  // namespace oq::sql
