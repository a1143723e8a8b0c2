#include "connectors/components/format_main.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <string>

namespace oq::components {

std::optional<double> ParseNumericText(std::string_view text) {
  auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;

  // Items typed under a comma locale hold "1,5": accept one separator of either kind, never
  // both, so a grouped "1.234,5" is not silently misread.
  std::string normalized(text);
  if (normalized.find(',') != std::string::npos) {
    if (normalized.find('.') != std::string::npos) return std::nullopt;
    if (normalized.find(',') != normalized.rfind(',')) return std::nullopt;
    normalized[normalized.find(',')] = '.';
  }
  std::string_view digits = normalized;
  if (digits.front() == '+') digits.remove_prefix(1);  // from_chars accepts only "-"
  if (digits.empty() || digits.front() == '+') return std::nullopt;

  double value = 0.0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                         std::chars_format::general);
  if (ec != std::errc() || end != digits.data() + digits.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

Variant FormatMain::EsNumero(const Field& field) {
  Variant value = field.Value();
  switch (value.kind()) {
    case Variant::Kind::kBoolean:
      return Variant::Integer(value.asBoolean() ? -1 : 0);
    case Variant::Kind::kInteger:
    case Variant::Kind::kLong:
    case Variant::Kind::kLongLong:
    case Variant::Kind::kDouble:
      return value;
    case Variant::Kind::kString:
      if (auto number = ParseNumericText(value.asString())) return Variant::Double(*number);
      return Variant::Long(0);
    default:
      return Variant::Long(0);
  }
}

}  // namespace oq::components
