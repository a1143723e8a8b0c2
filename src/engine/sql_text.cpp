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

void RefuseNul(std::string_view text) {
  if (text.find('\0') != std::string_view::npos) {
    throw Failure(err::kInvalidProcedureCall,
                  "Invalid procedure call or argument: a text holding a NUL character cannot be "
                  "written into a statement");
  }
}

void AppendDoubled(std::string& out, std::string_view text) {
  // Most texts hold no quote: they go in whole, the rest a quote at a time.
  for (std::size_t quote; (quote = text.find('\'')) != std::string_view::npos;) {
    out.append(text.substr(0, quote + 1)).push_back('\'');
    text.remove_prefix(quote + 1);
  }
  out.append(text);
}

}  // namespace

std::string Escape(std::string_view text) {
  std::string escaped;
  AppendEscaped(escaped, text);
  return escaped;
}

void AppendEscaped(std::string& out, std::string_view text) {
  RefuseNul(text);
  AppendDoubled(out, text);
}

void AppendQuoted(std::string& out, std::string_view text) {
  RefuseNul(text);
  out.push_back('\'');
  AppendDoubled(out, text);
  out.push_back('\'');
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
  std::string number = text.find(',') == std::string::npos ? text : rt::Replace(text, ",", ".");
  if (IsDecimalNumber(number)) return number;
  std::string quoted;
  AppendQuoted(quoted, text);
  return quoted;
}

}  // namespace oq::sql
