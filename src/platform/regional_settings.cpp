#include "platform/regional_settings.h"

#include <langinfo.h>
#include <locale.h>

#include <array>
#include <cstdlib>
#include <string_view>

namespace oq {

namespace {

// The locale that decides how numbers are written, by the usual precedence.
std::string NumericLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_NUMERIC", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && value[0] != '\0') return value;
  }
  return "C";
}

// For a locale that is named but not installed on this machine: the separator by language and
// territory ("es_AR.UTF-8" -> ","; "es_MX" -> ".").
std::string SeparatorByName(std::string_view name) {
  constexpr std::array<std::string_view, 9> kPointTerritories = {
      "es_MX", "es_US", "es_GT", "es_HN", "es_NI", "es_PA", "es_PR", "es_SV", "de_CH"};
  for (std::string_view territory : kPointTerritories) {
    if (name.starts_with(territory)) return ".";
  }
  constexpr std::array<std::string_view, 20> kCommaLanguages = {
      "es", "de", "fr", "it", "pt", "nl", "ru", "pl", "cs", "sk",
      "sv", "da", "nb", "nn", "fi", "tr", "el", "ro", "hu", "ca"};
  const std::string_view language = name.substr(0, name.find_first_of("_.@"));
  for (std::string_view comma : kCommaLanguages) {
    if (language == comma) return ",";
  }
  return ".";
}

}  // namespace

std::string UserDecimalSeparator() {
  const std::string name = NumericLocaleName();
  if (name == "C" || name == "POSIX" || name.starts_with("C.")) return ".";
  // Ask the C library when the locale is installed: it knows every territory.
  locale_t locale = ::newlocale(LC_NUMERIC_MASK, name.c_str(), static_cast<locale_t>(nullptr));
  if (locale != static_cast<locale_t>(nullptr)) {
    std::string separator = ::nl_langinfo_l(RADIXCHAR, locale);
    ::freelocale(locale);
    if (separator == "," || separator == ".") return separator;
  }
  return SeparatorByName(name);
}

}  // namespace oq
