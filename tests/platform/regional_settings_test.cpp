// The decimal separator from the user's locale variables, in their order of precedence.
#include "platform/regional_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace oq {
namespace {

TEST(RegionalSettingsTest, TheSeparatorFollowsTheLocaleThatGovernsNumbers) {
  // LC_ALL wins, then LC_NUMERIC, then LANG; then the separator.
  const std::array<const char*, 4> cases[] = {{"", "", "", "."},
                                              {"C", "es_AR.UTF-8", "", "."},
                                              {"", "es_AR.UTF-8", "en_US", ","},
                                              {"", "", "de_DE.UTF-8", ","},
                                              {"", "", "en_GB.UTF-8", "."},
                                              {"", "", "es_MX.UTF-8", "."},
                                              {"", "", "pt_BR", ","},
                                              {"", "", "POSIX", "."}};
  for (const auto& [lcAll, lcNumeric, lang, separator] : cases) {
    ::setenv("LC_ALL", lcAll, 1);
    ::setenv("LC_NUMERIC", lcNumeric, 1);
    ::setenv("LANG", lang, 1);
    EXPECT_EQ(UserDecimalSeparator(), separator) << lcAll << "|" << lcNumeric << "|" << lang;
  }
}

}  // namespace
}  // namespace oq
