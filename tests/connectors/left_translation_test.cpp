#include "connectors/sqlite/left_translation.h"

#include <gtest/gtest.h>

namespace oq::sqlite {
namespace {

TEST(LeftTranslation, RewritesCallsOutsideLiteralsAndQuotedNames) {
  const std::pair<const char*, const char*> cases[] = {
      {"select left('abc', 2)", "select substr('abc', 1, 2)"},
      {"select LEFT ( x , 3 ) from t", "select substr(x, 1, 3) from t"},
      {"left(left(x, 5), f(a, b))", "substr(substr(x, 1, 5), 1, f(a, b))"},
      {"left('a,b)', 1)", "substr('a,b)', 1, 1)"},
      {"'it''s left(' || left(x,1)", "'it''s left(' || substr(x, 1, 1)"},
      {"a left join b on left(a.x,2)=b.y", "a left join b on substr(a.x, 1, 2)=b.y"},
      {"a LEFT OUTER JOIN b", "a LEFT OUTER JOIN b"},
      {"select 'left(a,1)', \"left\"(a, 1), [left](a,1), `left`(a,1)",
       "select 'left(a,1)', \"left\"(a, 1), [left](a,1), `left`(a,1)"},
      {"-- left(a,1)\nselect /* left(b,2) */ 1", "-- left(a,1)\nselect /* left(b,2) */ 1"},
      {"select leftover(x), myleft(x, 1), t.left(x, 1)",
       "select leftover(x), myleft(x, 1), t.left(x, 1)"},
      {"left(x, 1", "left(x, 1"},
      {"left(a, b, c) + left(a)", "left(a, b, c) + left(a)"},
      {"select left('x", "select left('x"},
      {"left", "left"},
      {"xleft(a, 1)", "xleft(a, 1)"},
      {"select Àleft(x, 1)", "select Àleft(x, 1)"},  // À ends in byte 0x80, a name byte
  };
  for (const auto& [sql, expected] : cases) EXPECT_EQ(TranslateLeftCalls(sql), expected) << sql;
}

}  // namespace
}  // namespace oq::sqlite
