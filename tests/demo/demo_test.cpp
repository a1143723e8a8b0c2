// `oquardelino demo` as a person runs it, and the databases it writes: what they show a new user.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstdio>

#include "../host/test_support.h"
#include "connectors/sqlite/sqlite_connection.h"
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

class DemoTest : public ::testing::Test {
 protected:
  // Runs the demo command into the test's folder; its exit status, its output in output_.
  int Demo(const char* options) {
    const std::string command = OQ_PROGRAM " demo --dir '" + folder_.file("d") + "' " + options;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    char buffer[4096];
    output_.clear();
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      output_.append(buffer, n);
    }
    return WEXITSTATUS(::pclose(pipe));
  }
  // The column v of the first row of a query on the database of internos, with ncm attached as n.
  Variant Scalar(const std::string& sql) {
    auto db = OpenSqlite(internos_);
    db->put_sql("attach database '" + folder_.file("d/ncm.db") + "' as n");
    db->ejecutar();
    Variant recordset;
    for (std::size_t from = 0, end; from < sql.size(); from = end + 1) {
      end = std::min(sql.find("; ", from), sql.size());
      db->put_sql(sql.substr(from, end - from));
      db->crearrs(recordset);
    }
    return dynamic_cast<Recordset&>(*recordset.asObject()).Fields("v").Value();
  }

  test::TempFolder folder_;
  const std::string internos_ = folder_.file("d/internos.db");
  std::string output_;
};

TEST_F(DemoTest, TheDemoShowsEveryCaseAndIsReplacedOnlyWhenAsked) {
  ASSERT_EQ(Demo(""), 0) << output_;
  EXPECT_NE(output_.find("internos: sqlite:" + internos_), std::string::npos) << output_;
  // cover sheets / invoices / items of each interno
  const std::pair<const char*, const char*> internos[] = {
      {"2024-0101", "1/3/25"}, {"2024-0102", "1/2/4"}, {"2024-0103", "1/2/0"},
      {"2024-0104", "1/0/5"},  {"2024-0105", "1/1/3"},
  };
  for (const auto& [numero, counts] : internos) {
    EXPECT_NE(output_.find(numero), std::string::npos) << output_;
    const std::string where = " where interno = '" + std::string(numero) + "')";
    EXPECT_EQ(Scalar("select (select count(*) from caratula" + where +
                     " || '/' || (select count(*) from facturas" + where +
                     " || '/' || (select count(*) from subitems" + where + " as v"),
              Variant::String(counts));
  }
  EXPECT_EQ(Scalar("select count(*) as v from subitems where interno = '2024-0105' and cantidad "
                   "is null"),
            Variant::Long(1));

  // Thousands of distinct, well-formed positions.
  EXPECT_EQ(Scalar("select count(distinct [001] || [002]) as v from n.ncm where [001] glob "
                   "'[0-9][0-9][0-9][0-9].[0-9][0-9].[0-9][0-9]' and length([002]) = 3"),
            Variant::Long(static_cast<std::int32_t>(kNcmDemoRows)));
  EXPECT_GT(Scalar("select count(*) as v from n.ncm where [059] = '*'").toInt64(), 100);
  EXPECT_EQ(Scalar("insert into caratula (interno) values ('X'); select identificador_externo as "
                   "v from caratula where interno = 'X'"),
            Variant::String(std::string(kIdentificadorExternoDefault)));

  // Only a demo is replaced, and only when asked.
  const std::string marked = "select count(*) as v from sqlite_master where name = 'marker'";
  Scalar("create table marker (a); " + marked);
  EXPECT_EQ(Demo(""), 2);
  EXPECT_NE(output_.find("already exists; use --force"), std::string::npos) << output_;
  EXPECT_EQ(Scalar(marked), Variant::Long(1));
  EXPECT_EQ(Demo("--force"), 0) << output_;
  EXPECT_EQ(Scalar(marked), Variant::Long(0));

  Scalar("drop table oquardelino_demo; " + marked);  // now a database the demo did not make
  EXPECT_EQ(Demo("--force"), 2);
  EXPECT_NE(output_.find("would destroy 5 cover sheets (caratula), 8 invoices (facturas), 37 "
                         "items (subitems). Nothing was changed"),
            std::string::npos)
      << output_;
  EXPECT_EQ(Scalar("select count(*) as v from subitems"), Variant::Long(37));
}

TEST_F(DemoTest, AFailureLeavesNoHalfWrittenDemo) {
  for (int failAt : {1, 4, 12}) {
    auto open = [failAt](const std::filesystem::path& path) -> std::shared_ptr<HostConnection> {
      auto connection = std::make_shared<test::FaultyConnection>(OpenSqlite(path));
      if (path.filename() == kNcmFileName) connection->failAt(failAt);
      return connection;
    };
    EXPECT_THROW(CreateDemoFiles(folder_.path(), false, open), Failure) << failAt;
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / kInternosFileName)) << failAt;
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / kNcmFileName)) << failAt;
  }
}

}  // namespace
}  // namespace oq::demo
