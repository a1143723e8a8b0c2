// The decimal separator from the user's locale variables, in their order of precedence.
#include "platform/regional_settings.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace oq {
namespace {

TEST(RegionalSettingsTest, TheSeparatorFollowsTheLocaleThatGovernsNumbers) {
  struct Case {
    const char* lcAll;
    const char* lcNumeric;
    const char* lang;
    const char* separator;
  };
  const std::vector<Case> cases = {
      {"", "", "", "."},
      {"C", "es_AR.UTF-8", "", "."},            // LC_ALL wins
      {"", "es_AR.UTF-8", "en_US.UTF-8", ","},  // then LC_NUMERIC
      {"", "", "de_DE.UTF-8", ","},             // then LANG
      {"", "", "en_GB.UTF-8", "."},
      {"", "", "es_MX.UTF-8", "."},
      {"", "", "pt_BR", ","},
      {"", "", "POSIX", "."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.lcAll) + "|" + c.lcNumeric + "|" + c.lang);
    ::setenv("LC_ALL", c.lcAll, 1);
    ::setenv("LC_NUMERIC", c.lcNumeric, 1);
    ::setenv("LANG", c.lang, 1);
    EXPECT_EQ(UserDecimalSeparator(), c.separator);
  }
  ::unsetenv("LC_ALL");
  ::unsetenv("LC_NUMERIC");
  ::unsetenv("LANG");
}

}  // namespace
}  // namespace oq
