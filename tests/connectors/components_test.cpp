// "DataAccessManager.DAMMain" and "cFORMAT.Main", created by name as the copies create them.
#include <gtest/gtest.h>

#include "../host/test_support.h"
#include "connectors/components/dam_main.h"
#include "connectors/components/format_main.h"
#include "connectors/components/host_components.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "host/component_registry.h"
#include "host/recordset.h"

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

TEST(HostComponents, AreCreatableByTheirRegisteredNames) {
  RegisterHostComponents({{"INTERNOS", Dialect::kAccess}});
  auto dam =
      std::dynamic_pointer_cast<DataAccessManager>(CreateObject("DataAccessManager.DAMMain"));
  ASSERT_NE(dam, nullptr);
  EXPECT_EQ(dam->getMidFormatbyEntity("INTERNOS", "x", "1", "2"), "Mid(x, 1, 2)");
  auto format = std::dynamic_pointer_cast<FormatComponent>(CreateObject("cformat.main"));
  ASSERT_NE(format, nullptr);
  EXPECT_NE(CreateObject("cFORMAT.Main"), format) << "each creation is a new object";
  RegisterHostComponents();

  // EsNumero reads a field of a real record set: its number, a number typed as text, or 0.
  test::TempFolder folder;
  auto db = sqlite::SqliteConnection::Open(folder.file("c.db"), {.createIfMissing = true});
  const std::pair<const char*, Variant> cases[] = {
      {"12", Variant::Long(12)},         {"3000000000", Variant::LongLong(3000000000)},
      {"1.5", Variant::Double(1.5)},     {"'3,25'", Variant::Double(3.25)},
      {"' 7.5 '", Variant::Double(7.5)}, {"'-2e3'", Variant::Double(-2000)},
      {"'+4'", Variant::Double(4)},      {"NULL", Variant::Long(0)},
      {"''", Variant::Long(0)},          {"'s/d'", Variant::Long(0)},
      {"'1.234,5'", Variant::Long(0)},   {"'1,2,3'", Variant::Long(0)},
      {"'12abc'", Variant::Long(0)},     {"'++4'", Variant::Long(0)},
      {"'inf'", Variant::Long(0)},       {"' '", Variant::Long(0)},
  };
  Variant recordset;
  const auto field = [&](const std::string& sql) -> Field& {
    db->put_sql(sql);
    db->crearrs(recordset);
    return dynamic_cast<Recordset&>(*recordset.asObject()).Fields("v");
  };
  for (const auto& [expression, expected] : cases) {
    EXPECT_EQ(format->EsNumero(field(std::string("select ") + expression + " as v")), expected)
        << expression;
  }
  Field& none = field("select 1 as v where 0");
  EXPECT_EQ(test::FailureOf([&] { format->EsNumero(none); }).number(), err::kNoCurrentRecord)
      << "the field's own failure passes on";
}

}  // namespace
}  // namespace oq::components
