// The demo databases on real SQLite files: what they show a new user, and how they are replaced.
#include <gtest/gtest.h>

#include "../host/test_support.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "demo/demo_data.h"
#include "demo/demo_files.h"
#include "demo/demo_ncm.h"
#include "demo/demo_schema.h"
#include "host/recordset.h"
#include "support/faulty_connection.h"

namespace oq::demo {
namespace {

std::shared_ptr<HostConnection> OpenSqlite(const std::filesystem::path& path) {
  return sqlite::SqliteConnection::Open(path.string(), {.createIfMissing = true});
}

// The column v of the first row of a query.
Variant Scalar(HostConnection& connection, const std::string& sql) {
  Variant recordset;
  connection.put_sql(sql);
  connection.crearrs(recordset);
  return dynamic_cast<Recordset&>(*recordset.asObject()).Fields("v").Value();
}

TEST(DemoTest, TheInternosAndTheNomenclatureShowEveryCase) {
  test::TempFolder folder;
  const DemoFiles files = CreateDemoFiles(folder.path(), false, OpenSqlite);
  auto db = OpenSqlite(files.internos);
  db->put_sql("attach database '" + files.ncm.string() + "' as n");
  db->ejecutar();
  const auto scalar = [&](const std::string& sql) { return Scalar(*db, sql); };

  // cover sheets / invoices / items of each interno
  for (const auto& [numero, counts] : {std::pair{"2024-0101", "1/3/25"}, {"2024-0102", "1/2/4"},
                                       {"2024-0103", "1/2/0"}, {"2024-0104", "1/0/5"},
                                       {"2024-0105", "1/1/3"}}) {
    const std::string where = " where interno = '" + std::string(numero) + "')";
    EXPECT_EQ(scalar("select (select count(*) from caratula" + where +
                     " || '/' || (select count(*) from facturas" + where +
                     " || '/' || (select count(*) from subitems" + where + " as v"),
              Variant::String(counts));
  }
  EXPECT_EQ(DemoInternos().size(), 5u);
  EXPECT_EQ(scalar("select count(*) as v from caratula c where abs(fobdivisas - coalesce((select "
                   "sum(fob) from subitems s where s.interno = c.interno), 0)) > 0.005"),
            Variant::Long(0))
      << "a cover sheet's FOB is the sum of its items'";
  EXPECT_EQ(scalar("select count(*) as v from subitems where interno = '2024-0105' and cantidad "
                   "is null"),
            Variant::Long(1));

  // The mixed interno has items with the licence mark, with an empty one, with none and unknown.
  const std::string join =
      "from subitems s left join n.ncm m on substr(s.ncm, 1, 10) = m.[001] and substr(s.ncm, "
      "12, 3) = m.[002] where s.interno = '2024-0101'";
  for (const auto& [mark, count] : {std::pair{"m.[059] = '*'", 10},
                                    {"m.[059] = ''", 8},
                                    {"m.[001] is not null and m.[059] is null", 3},
                                    {"m.[001] is null", 4}}) {
    EXPECT_EQ(scalar("select count(*) as v " + join + " and " + mark), Variant::Long(count))
        << mark;
  }
  EXPECT_EQ(scalar("select count(*) as v from subitems where length(ncm) < 14 or "
                   "substr(ncm, 11, 1) <> '.'"),
            Variant::Long(0));

  // Thousands of distinct, well-formed positions.
  EXPECT_EQ(scalar("select count(*) as v from (select distinct [001], [002] from n.ncm where [001] "
                   "glob '[0-9][0-9][0-9][0-9].[0-9][0-9].[0-9][0-9]' and length([002]) = 3)"),
            Variant::Long(static_cast<std::int32_t>(kNcmDemoRows)));
  EXPECT_EQ(scalar("select count(*) as v from n.ncm"),
            Variant::Long(static_cast<std::int32_t>(kNcmDemoRows)));
  EXPECT_GT(scalar("select count(*) as v from n.ncm where [059] = '*'").toInt64(), 100);

  db->put_sql("insert into caratula (interno) values ('X')");
  db->ejecutar();
  EXPECT_EQ(scalar("select identificador_externo as v from caratula where interno = 'X'"),
            Variant::String(std::string(kIdentificadorExternoDefault)));
}

TEST(DemoTest, OnlyADemoIsReplacedAndOnlyWhenAsked) {
  test::TempFolder folder;
  const auto place = folder.path() / "new" / "sub";
  const DemoFiles files = CreateDemoFiles(place, false, OpenSqlite);
  const auto size = std::filesystem::file_size(files.internos);
  const auto exec = [&](const std::string& sql) {
    auto db = OpenSqlite(files.internos);
    db->put_sql(sql);
    db->ejecutar();
  };
  const auto marked = [&] {
    return Scalar(*OpenSqlite(files.internos),
                  "select count(*) as v from sqlite_master where name = 'marker'");
  };
  exec("create table marker (a)");
  EXPECT_THROW(CreateDemoFiles(place, false, OpenSqlite), std::runtime_error);
  EXPECT_EQ(marked(), Variant::Long(1));
  CreateDemoFiles(place, true, OpenSqlite);
  EXPECT_EQ(marked(), Variant::Long(0));
  EXPECT_EQ(std::filesystem::file_size(files.internos), size);

  exec("drop table oquardelino_demo");  // now a database the demo did not make
  try {
    CreateDemoFiles(place, true, OpenSqlite);
    ADD_FAILURE() << "replaced a database the demo did not make";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("would destroy 5 cover sheets (caratula), 8 invoices "
                                         "(facturas), 37 items (subitems)"),
              std::string::npos)
        << e.what();
  }
  EXPECT_EQ(Scalar(*OpenSqlite(files.internos), "select count(*) as v from subitems"),
            Variant::Long(37));
}

TEST(DemoTest, AFailureLeavesNoHalfWrittenDemo) {
  test::TempFolder folder;
  for (int failAt : {1, 4, 12}) {
    auto open = [failAt](const std::filesystem::path& path) -> std::shared_ptr<HostConnection> {
      auto connection = std::make_shared<test::FaultyConnection>(OpenSqlite(path));
      if (path.filename() == kNcmFileName) connection->failAt(failAt);
      return connection;
    };
    EXPECT_THROW(CreateDemoFiles(folder.path(), false, open), Failure) << failAt;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / kInternosFileName)) << failAt;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / kNcmFileName)) << failAt;
  }
}

}  // namespace
}  // namespace oq::demo
