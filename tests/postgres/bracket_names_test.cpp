#include "connectors/postgres/bracket_names.h"

#include <gtest/gtest.h>

namespace oq::postgres {
namespace {

struct Case {
  const char* name;
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
        Case{"TariffLookup",
             "select [001] as total,[002] from ncm where (left('8471.30.12.100',10) = [001] and "
             "substr('8471.30.12.100',12,3) = [002] and [059] = '*')",
             "select \"001\" as total,\"002\" from ncm where (left('8471.30.12.100',10) = \"001\" "
             "and substr('8471.30.12.100',12,3) = \"002\" and \"059\" = '*')"},
        Case{"TariffLookupOtherSpelling",
             "select [001] as total ,[002] from ncm where ([059] = '')",
             "select \"001\" as total ,\"002\" from ncm where (\"059\" = '')"},
        // Literals, quoted names and comments keep their brackets.
        Case{"Literal", "select '[001]' as a, [002]", "select '[001]' as a, \"002\""},
        Case{"LiteralWithQuote", "select 'it''s [x]', [y]", "select 'it''s [x]', \"y\""},
        Case{"QuotedName", "select \"[a]\", [b]", "select \"[a]\", \"b\""},
        Case{"LineComment", "select [a] -- [b]\n, [c]", "select \"a\" -- [b]\n, \"c\""},
        Case{"BlockComment", "select /* [a] */ [b]", "select /* [a] */ \"b\""},
        // Array subscripts and unclosed brackets are not names.
        Case{"Subscripts", "select arr[1], (f(x))[2], m[1][2]",
             "select arr[1], (f(x))[2], m[1][2]"},
        Case{"ArrayConstructor", "select ARRAY[1,2]", "select ARRAY[1,2]"},
        Case{"Unclosed", "select [open\n]", "select [open\n]"},
        // Odd names: a blank inside, a doubled bracket, a double quote.
        Case{"OddNames", "select [my name], [a]]b], [q\"x]",
             "select \"my name\", \"a]b\", \"q\"\"x\""},
        Case{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace oq::postgres
