#include "connectors/postgres/bracket_names.h"

#include <gtest/gtest.h>

namespace oq::postgres {
namespace {

struct Case {
  const char* statement;
  const char* expected;
};

class BracketNamesTest : public ::testing::TestWithParam<Case> {};

TEST_P(BracketNamesTest, Translates) {
  EXPECT_EQ(TranslateBracketNames(GetParam().statement), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, BracketNamesTest,
    ::testing::Values(
        // The tariff lookups, both spellings.
        Case{"select [001] as total,[002] from ncm where (left('8471.30.12.100',10) = [001] and "
             "substr('8471.30.12.100',12,3) = [002] and [059] = '*')",
             "select \"001\" as total,\"002\" from ncm where (left('8471.30.12.100',10) = \"001\" "
             "and substr('8471.30.12.100',12,3) = \"002\" and \"059\" = '*')"},
        Case{"select [001] as total ,[002] from ncm where ([059] = '')",
             "select \"001\" as total ,\"002\" from ncm where (\"059\" = '')"},
        // Literals, quoted names and comments keep their brackets.
        Case{"select '[001]' as a, [002]", "select '[001]' as a, \"002\""},
        Case{"select 'it''s [x]', [y]", "select 'it''s [x]', \"y\""},
        Case{"select \"[a]\", [b]", "select \"[a]\", \"b\""},
        Case{"select [a] -- [b]\n, [c]", "select \"a\" -- [b]\n, \"c\""},
        Case{"select /* [a] */ [b]", "select /* [a] */ \"b\""},
        // Array subscripts and unclosed brackets are not names.
        Case{"select arr[1], (f(x))[2], m[1][2]", "select arr[1], (f(x))[2], m[1][2]"},
        Case{"select ARRAY[1,2]", "select ARRAY[1,2]"}, Case{"select [open\n]", "select [open\n]"},
        // Odd names: a blank inside, a doubled bracket, a double quote.
        Case{"select [my name], [a]]b], [q\"x]", "select \"my name\", \"a]b\", \"q\"\"x\""},
        Case{"", ""}));

}  // namespace
}  // namespace oq::postgres
