#include "engine/conversions.h"

#include <charconv>
#include <cmath>
#include <system_error>

#include "host/failure.h"

namespace oq::rt {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int DigitValue(char c, int radix) {
  int value = -1;
  if (IsDigit(c)) value = c - '0';
  if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value < radix ? value : -1;
}

// &H / &O numbers: the digits' value in two's complement of the narrowest of 16 or 32 bits,
// as the run-time types such a literal.
double RadixNumber(std::string_view digits, int radix) {
  std::uint64_t value = 0;
  for (char c : digits) {
    const int digit = DigitValue(c, radix);
    if (digit < 0) break;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
    if (value > 0xFFFFFFFFu) throw err::runtime(err::kOverflow);
  }
  if (value <= 0xFFFFu) return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// A decimal number at the start of `text` (blanks already removed): [sign] digits [. digits]
// [E|D [sign] digits]. The exponent is taken only when digits follow its letter.
double DecimalNumber(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string number;  // what std::from_chars reads: no sign, point as the mark, 'e' exponent
  int mantissaDigits = 0;
  int firstSignificant = 0;  // the power of ten of the first nonzero digit, plus one
  bool seenSignificant = false;
  int integerDigits = 0;
  while (i < text.size() && IsDigit(text[i])) {
    if (text[i] != '0' && !seenSignificant) seenSignificant = true;
    if (seenSignificant) ++integerDigits;
    number += text[i++];
    ++mantissaDigits;
  }
  firstSignificant = integerDigits;
  if (i < text.size() && text[i] == '.') {
    number += text[i++];
    while (i < text.size() && IsDigit(text[i])) {
      if (!seenSignificant) {
        if (text[i] != '0')
          seenSignificant = true;
        else
          --firstSignificant;
      }
      number += text[i++];
      ++mantissaDigits;
    }
  }
  if (mantissaDigits == 0) return 0.0;
  long exponent = 0;
  if (i < text.size() && (text[i] == 'E' || text[i] == 'e' || text[i] == 'D' || text[i] == 'd')) {
    std::size_t j = i + 1;
    bool negativeExponent = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) negativeExponent = text[j++] == '-';
    if (j < text.size() && IsDigit(text[j])) {
      while (j < text.size() && IsDigit(text[j])) {
        if (exponent < 100000) exponent = exponent * 10 + (text[j] - '0');
        ++j;
      }
      if (negativeExponent) exponent = -exponent;
      number += 'e' + std::to_string(exponent);
    }
  }
  if (!seenSignificant) return 0.0;
  double value = 0.0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    // Too large is an overflow; too small is zero.
    if (firstSignificant + exponent > 0) throw err::runtime(err::kOverflow);
    value = 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

double Val(std::string_view text) {
  std::string compact;
  compact.reserve(text.size());
  for (char c : text) {
    if (!IsBlank(c)) compact += c;
  }
  std::string_view rest(compact);
  if (rest.size() >= 2 && rest[0] == '&') {
    if (rest[1] == 'H' || rest[1] == 'h') return RadixNumber(rest.substr(2), 16);
    if (rest[1] == 'O' || rest[1] == 'o') return RadixNumber(rest.substr(2), 8);
    return 0.0;
  }
  return DecimalNumber(rest);
}

std::int16_t CInt(double value) {
  const double rounded = std::nearbyint(value);  // the default rounding mode: halves to even
  if (!(rounded >= -32768.0 && rounded <= 32767.0)) throw err::runtime(err::kOverflow);
  return static_cast<std::int16_t>(rounded);
}

std::string NumberToText(double value, std::string_view decimalSeparator) {
  if (value == 0.0) return "0";  // also for -0
  char buffer[64];
  // The general form with 15 significant digits: fixed notation unless the exponent is below -4
  // or at least 15, as the run-time writes a double; no trailing zeros.
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  std::string text(buffer, result.ptr);
  std::string out;
  for (char c : text) {
    if (c == '.') {
      out += decimalSeparator;
    } else if (c == 'e') {
      out += 'E';
    } else {
      out += c;
    }
  }
  return out;
}

std::string CStr(const Variant& value, std::string_view decimalSeparator) {
  switch (value.kind()) {
    case Variant::Kind::kEmpty:
      return "";
    case Variant::Kind::kNull:
      throw err::runtime(err::kInvalidUseOfNull);
    case Variant::Kind::kBoolean:
      return value.asBoolean() ? "True" : "False";
    case Variant::Kind::kInteger:
    case Variant::Kind::kLong:
    case Variant::Kind::kLongLong:
      return std::to_string(value.toInt64());
    case Variant::Kind::kDouble:
      return NumberToText(value.toDouble(), decimalSeparator);
    case Variant::Kind::kString:
      return value.asString();
    case Variant::Kind::kObject:
      break;
  }
  throw err::runtime(err::kTypeMismatch);
}

std::string Format00_00(double value, std::string_view decimalSeparator) {
  if (!std::isfinite(value)) throw err::runtime(err::kOverflow);
  const bool negative = value < 0;
  // The 15 significant digits d0.d1...d14 and the power of ten of d0.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                    std::chars_format::scientific, 14);
  const std::string text(buffer, result.ptr);
  const std::size_t e = text.find('e');
  std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
  const int power = std::stoi(text.substr(e + 1));

  // Hundredths: the digits down to the second decimal, then rounded on the next one.
  const int keep = power + 3;  // digits that lie at or above the hundredths position
  std::string hundredths;
  char next = '0';
  if (keep > 0) {
    for (int i = 0; i < keep; ++i) {
      hundredths += i < static_cast<int>(digits.size()) ? digits[static_cast<std::size_t>(i)] : '0';
    }
    if (keep < static_cast<int>(digits.size())) next = digits[static_cast<std::size_t>(keep)];
  } else if (keep == 0) {
    next = digits[0];
  }
  if (hundredths.empty()) hundredths = "0";
  if (next >= '5') {
    int i = static_cast<int>(hundredths.size()) - 1;
    while (i >= 0 && hundredths[static_cast<std::size_t>(i)] == '9') {
      hundredths[static_cast<std::size_t>(i--)] = '0';
    }
    if (i < 0) {
      hundredths.insert(hundredths.begin(), '1');
    } else {
      ++hundredths[static_cast<std::size_t>(i)];
    }
  }
  const std::size_t firstNonZero = hundredths.find_first_not_of('0');
  hundredths = firstNonZero == std::string::npos ? "" : hundredths.substr(firstNonZero);
  const bool zero = hundredths.empty();
  while (hundredths.size() < 4) hundredths.insert(hundredths.begin(), '0');
  const std::size_t split = hundredths.size() - 2;
  return std::string(negative && !zero ? "-" : "") + hundredths.substr(0, split) +
         std::string(decimalSeparator) + hundredths.substr(split);
}

std::string Replace(std::string_view text, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(text);
  std::string out;
  std::size_t from = 0;
  for (std::size_t at = text.find(find); at != std::string_view::npos; at = text.find(find, from)) {
    out.append(text.substr(from, at - from));
    out.append(with);
    from = at + find.size();
  }
  out.append(text.substr(from));
  return out;
}

std::size_t Len(std::string_view text) {
  std::size_t units = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) == 0x80) continue;           // continuation byte
    units += (c >= 0xF0 && c <= 0xF7) ? 2 : 1;  // four-byte sequences are surrogate pairs
  }
  return units;
}

}  // namespace oq::rt
