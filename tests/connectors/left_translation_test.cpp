#include "connectors/sqlite/left_translation.h"

#include <gtest/gtest.h>

#include "connectors/sqlite/sqlite_connection.h"
#include "host/recordset.h"
#include "temp_folder.h"

namespace oq::sqlite {
namespace {

TEST(LeftTranslation, RewritesCallsOutsideLiteralsAndQuotedNames) {
  struct Case {
    const char* sql;
    const char* expected;
  };
  const Case cases[] = {
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
  };
  for (const Case& c : cases) EXPECT_EQ(TranslateLeftCalls(c.sql), c.expected) << c.sql;
}

// The licence-filtered lookup of an item, as the copies build it: left( and [bracketed] names run
// on SQLite and find only the rows with their licence mark.
TEST(TariffLookup, BothStatementShapesRunAndFindTheirMark) {
  test::TempFolder folder;
  auto ncm = SqliteConnection::Open(folder.file("ncm.db"), {.createIfMissing = true});
  ncm->put_sql(
      "create table ncm ([001] varchar(10), [002] varchar(3), [059] varchar(1));"
      "insert into ncm values ('8471.30.12', '100', '*'), ('8471.30.12', '200', ''),"
      " ('8517.13.00', '000', NULL)");
  ncm->ejecutar();
  Variant recordset;
  const auto lookup = [&](const std::string& item, const char* mark) {
    ncm->put_sql("select [001] as total,[002] from ncm where (left('" + item +
                 "',10) = [001] and substr('" + item + "', 12, 3) = [002] and [059] = '" + mark +
                 "')");
    return ncm->crearrs(recordset);
  };
  for (const auto& [item, con, sin] : {std::tuple{"8471.30.12.100", true, false},
                                       {"8471.30.12.200", false, true},
                                       {"8471.30.12.300", false, false},
                                       {"8517.13.00.000", false, false}}) {
    EXPECT_EQ(lookup(item, "*"), Variant::Boolean(con)) << item;
    EXPECT_EQ(lookup(item, ""), Variant::Boolean(sin)) << item;
  }
  lookup("8471.30.12.100W", "*");
  auto& rs = dynamic_cast<Recordset&>(*recordset.asObject());
  EXPECT_EQ(rs.Fields("total").Value(), Variant::String("8471.30.12"));
  EXPECT_EQ(rs.Fields("002").Value(), Variant::String("100"));
}

}  // namespace
}  // namespace oq::sqlite
