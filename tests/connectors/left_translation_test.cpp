#include "connectors/sqlite/left_translation.h"

#include <gtest/gtest.h>

#include "connectors/components/dam_main.h"
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

class TariffLookupTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ncm_ = SqliteConnection::Open(folder_.file("ncm.db"), {.createIfMissing = true});
    Run("create table ncm ([001] varchar(10), [002] varchar(3), [059] varchar(1))");
    Run("insert into ncm values ('8471.30.12', '100', '*'), ('8471.30.12', '200', ''),"
        " ('8517.13.00', '000', NULL), ('8517.13.00', '100', 'X')");
  }
  void Run(const std::string& sql) {
    ncm_->put_sql(sql);
    ncm_->ejecutar();
  }
  // The lookup of one item, built as the licence-filtered copies build it.
  Variant Lookup(const std::string& item, bool conLapi) {
    components::DamMain dam;
    const std::string sql =
        std::string(conLapi ? "select [001] as total,[002] from ncm where (left('"
                            : "select [001] as total ,[002] from ncm where (left('") +
        item + "',10) = [001] and " +
        dam.getMidFormatbyEntity("INTERNOS", "'" + item + "'", "12", "3") +
        (conLapi ? " = [002] and [059] = '*')" : " = [002] and [059] = '')");
    ncm_->put_sql(sql);
    return ncm_->crearrs(recordset_);
  }

  test::TempFolder folder_;
  std::shared_ptr<SqliteConnection> ncm_;
  Variant recordset_;
};

TEST_F(TariffLookupTest, BothStatementShapesRunAndFindTheirMark) {
  struct Case {
    const char* item;
    bool con;
    bool sin;
  };
  for (const Case& c : {Case{"8471.30.12.100", true, false}, Case{"8471.30.12.100W", true, false},
                        Case{"8471.30.12.200", false, true}, Case{"8471.30.12.300", false, false},
                        Case{"8517.13.00.000", false, false}, Case{"8517.13.00.100", false, false},
                        Case{"", false, false}}) {
    EXPECT_EQ(Lookup(c.item, true), Variant::Boolean(c.con)) << c.item;
    EXPECT_EQ(Lookup(c.item, false), Variant::Boolean(c.sin)) << c.item;
  }
  Lookup("8471.30.12.100", true);
  auto& rs = dynamic_cast<Recordset&>(*recordset_.asObject());
  EXPECT_EQ(rs.Fields("total").Value(), Variant::String("8471.30.12"));
  EXPECT_EQ(rs.Fields("002").Value(), Variant::String("100"));
}

}  // namespace
}  // namespace oq::sqlite
