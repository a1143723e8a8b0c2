#include <gtest/gtest.h>

#include "connectors/components/dam_main.h"
#include "connectors/components/format_main.h"
#include "connectors/components/host_components.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "host/recordset.h"
#include "temp_folder.h"

namespace oq::components {
namespace {

TEST(DamMain, WritesTheSubstringOfEachDialectAndRefusesUnknownEntities) {
  for (const auto& [dialect, expected] :
       {std::pair{Dialect::kSqlite, "substr('8471.30.12.100', 12, 3)"},
        {Dialect::kPostgres, "SUBSTRING('8471.30.12.100', 12, 3)"},
        {Dialect::kSqlServer, "SUBSTRING('8471.30.12.100', 12, 3)"},
        {Dialect::kAccess, "Mid('8471.30.12.100', 12, 3)"}}) {
    DamMain dam;
    dam.SetDialect("internos", dialect);
    EXPECT_EQ(dam.getMidFormatbyEntity("INTERNOS", "'8471.30.12.100'", "12", "3"), expected);
  }
  DamMain dam;
  EXPECT_EQ(dam.DialectOf("Internos"), Dialect::kSqlite);
  EXPECT_EQ(dam.DialectOf("NCM"), Dialect::kSqlite);
  const Failure failure =
      test::FailureOf([&] { dam.getMidFormatbyEntity("FACTURACION", "'x'", "1", "1"); });
  EXPECT_EQ(failure.number(), kUnknownEntity);
  EXPECT_NE(failure.description().find("FACTURACION"), std::string::npos);
}

class WithDatabase : public ::testing::Test {
 protected:
  void SetUp() override {
    db_ = sqlite::SqliteConnection::Open(folder_.file("c.db"), {.createIfMissing = true});
  }
  Recordset& Query(const std::string& sql) {
    db_->put_sql(sql);
    db_->crearrs(recordset_);
    return dynamic_cast<Recordset&>(*recordset_.asObject());
  }
  test::TempFolder folder_;
  std::shared_ptr<sqlite::SqliteConnection> db_;
  Variant recordset_;
};

TEST_F(WithDatabase, SqliteAcceptsTheExpressionsOfSqliteAndOfTheServers) {
  DamMain dam({{"A", Dialect::kSqlite}, {"B", Dialect::kPostgres}});
  Recordset& rs =
      Query("select " + dam.getMidFormatbyEntity("a", "'8471.30.12.100'", "12", "3") + " as s, " +
            dam.getMidFormatbyEntity("b", "'8471.30.12.100'", "1", "10") + " as p");
  EXPECT_EQ(rs.Fields("s").Value(), Variant::String("100"));
  EXPECT_EQ(rs.Fields("p").Value(), Variant::String("8471.30.12"));
}

TEST_F(WithDatabase, EsNumeroGivesTheFieldsNumberOrZero) {
  struct Case {
    const char* expression;
    Variant expected;
  };
  const Case cases[] = {
      {"12", Variant::Long(12)},         {"3000000000", Variant::LongLong(3000000000)},
      {"1.5", Variant::Double(1.5)},     {"'3,25'", Variant::Double(3.25)},
      {"' 7.5 '", Variant::Double(7.5)}, {"'-2e3'", Variant::Double(-2000)},
      {"'+4'", Variant::Double(4)},      {"NULL", Variant::Long(0)},
      {"''", Variant::Long(0)},          {"'s/d'", Variant::Long(0)},
      {"'1.234,5'", Variant::Long(0)},   {"'1,2,3'", Variant::Long(0)},
      {"'12abc'", Variant::Long(0)},     {"'++4'", Variant::Long(0)},
      {"'inf'", Variant::Long(0)},
  };
  FormatMain format;
  for (const Case& c : cases) {
    Recordset& rs = Query(std::string("select ") + c.expression + " as v");
    EXPECT_EQ(format.EsNumero(rs.Fields("v")), c.expected) << c.expression;
  }
}

TEST_F(WithDatabase, EsNumeroPassesOnTheFieldsOwnFailure) {
  Recordset& rs = Query("select 1 as v where 0");
  EXPECT_EQ(test::FailureOf([&] { FormatMain().EsNumero(rs.Fields("v")); }).number(),
            err::kNoCurrentRecord);
}

TEST(HostComponents, AreCreatableByTheirRegisteredNames) {
  RegisterHostComponents({{"INTERNOS", Dialect::kAccess}});
  auto dam =
      std::dynamic_pointer_cast<DataAccessManager>(CreateObject("DataAccessManager.DAMMain"));
  ASSERT_NE(dam, nullptr);
  EXPECT_EQ(dam->getMidFormatbyEntity("INTERNOS", "x", "1", "2"), "Mid(x, 1, 2)");
  EXPECT_NE(std::dynamic_pointer_cast<FormatComponent>(CreateObject("cformat.main")), nullptr);
  // Each creation is a new object, as CreateObject gives.
  EXPECT_NE(CreateObject("cFORMAT.Main"), CreateObject("cFORMAT.Main"));
  RegisterHostComponents();
}

}  // namespace
}  // namespace oq::components
