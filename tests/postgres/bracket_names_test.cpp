#include "connectors/postgres/bracket_names.h"

#include <gtest/gtest.h>

namespace oq::postgres {
namespace {

TEST(BracketNames, BecomeQuotedNamesOutsideLiteralsCommentsAndSubscripts) {
  const std::pair<const char*, const char*> cases[] = {
      {"select [001] as total,[002] from ncm where (left('8471.30.12.100',10) = [001] and [059] = "
       "'*')",
       "select \"001\" as total,\"002\" from ncm where (left('8471.30.12.100',10) = \"001\" and "
       "\"059\" = '*')"},
      {"select '[001]' as a, [002]", "select '[001]' as a, \"002\""},
      {"select 'it''s [x]', [y]", "select 'it''s [x]', \"y\""},
      {"select \"[a]\", [b]", "select \"[a]\", \"b\""},
      {"select [a] -- [b]\n, [c]", "select \"a\" -- [b]\n, \"c\""},
      {"select /* [a] */ [b]", "select /* [a] */ \"b\""},
      {"select 1-[a], 2/[b], [c]-[d]", "select 1-\"a\", 2/\"b\", \"c\"-\"d\""},
      {"select arr[1], (f(x))[2], m[1][2]", "select arr[1], (f(x))[2], m[1][2]"},
      {"select [open\n]", "select [open\n]"},
      {"select [my name], [a]]b], [q\"x]", "select \"my name\", \"a]b\", \"q\"\"x\""},
  };
  for (const auto& [sql, expected] : cases) EXPECT_EQ(TranslateBracketNames(sql), expected) << sql;
}

}  // namespace
}  // namespace oq::postgres
