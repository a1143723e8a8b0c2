// The built program with the database of internos and the NCM database on different engines,
// each way round, and with a server database that does not exist.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "../host/test_support.h"
#include "connectors/postgres/postgres_connection.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "demo/demo_ncm.h"
#include "host/recordset.h"
#include "support/pg_test_server.h"

namespace oq::test {
namespace {

constexpr const char* kSource = "2024-0101";  // the demo interno with items of every mark

// The values of column v of a query.
std::vector<Variant> Column(HostConnection& db, const std::string& sql) {
  Variant holder;
  db.put_sql(sql);
  db.crearrs(holder);
  auto& rows = dynamic_cast<Recordset&>(*holder.asObject());
  std::vector<Variant> values;
  for (; !rows.Eof(); rows.MoveNext()) values.push_back(rows.Fields("v").Value());
  return values;
}

class ProgramOnServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OQ_REQUIRE_TEST_SERVER();
    server_ = std::make_unique<ScratchDatabase>(*TestServerUrl());
  }
  // Runs the program; its exit status, and what it wrote in output_.
  int Run(const std::vector<std::string>& args) {
    std::string command =
        "env LC_ALL=C XDG_CONFIG_HOME='" + folder_.file("config") + "' " OQ_PROGRAM " 2>&1";
    for (const std::string& arg : args) command += " '" + arg + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    output_.clear();
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      output_.append(buffer, n);
    }
    return WEXITSTATUS(::pclose(pipe));
  }

  TempFolder folder_;
  std::unique_ptr<ScratchDatabase> server_;
  std::string output_;
};

TEST_F(ProgramOnServerTest, InternosAndNcmOnDifferentEnginesInBothDirections) {
  std::map<std::string, demo::Mark> markOf;
  for (const demo::TariffCode& code : demo::DemoTariffCodes())
    markOf[std::string(code.code)] = code.mark;
  const std::string sqliteUrl = "sqlite:" + folder_.file("local.db");

  for (const bool internosOnServer : {true, false}) {
    SCOPED_TRACE(internosOnServer ? "internos on the server" : "NCM on the server");
    const std::string internosUrl = internosOnServer ? server_->url() : sqliteUrl;
    const std::string ncmUrl = internosOnServer ? sqliteUrl : server_->url();
    ASSERT_EQ(Run({"demo", "--force", "--internos", internosUrl, "--ncm", ncmUrl}), 0) << output_;
    std::shared_ptr<HostConnection> internos;
    if (internosOnServer) {
      internos = std::make_shared<postgres::PostgresConnection>(internosUrl);
    } else {
      internos = sqlite::SqliteConnection::Open(folder_.file("local.db"));
    }
    const auto items = [&](const std::string& interno) {
      return Column(*internos, "select ncm as v from subitems where interno = '" + interno + "'");
    };
    // What each option must keep, from the marks the demo gives the tariff codes.
    std::map<demo::Mark, std::size_t> itemsWith;
    for (const Variant& ncm : items(kSource)) ++itemsWith[markOf.at(ncm.asString())];
    EXPECT_GT(itemsWith[demo::Mark::kLicence], 0u);
    EXPECT_GT(itemsWith[demo::Mark::kEmpty], 0u);
    for (const auto& [option, number, kept] :
         {std::tuple{"todos", "M-TODOS", items(kSource).size()},
          {"con-lapi", "M-CON", itemsWith[demo::Mark::kLicence]},
          {"sin-lapi", "M-SIN", itemsWith[demo::Mark::kEmpty]}}) {
      EXPECT_EQ(Run({"copy", "--internos", internosUrl, "--ncm", ncmUrl, "--source", kSource,
                     "--new", number, "--option", option}),
                0)
          << output_;
      EXPECT_EQ(Column(*internos, std::string("select count(*) as v from caratula where interno "
                                              "= '") + number + "'")[0],
                Variant::Long(1));
      EXPECT_EQ(items(number).size(), kept) << option;
    }
  }
}

TEST_F(ProgramOnServerTest, ADatabaseTheServerLacksIsABadArgument) {
  const std::string url = WithDatabase(server_->url(), "no_such_database");
  EXPECT_EQ(Run({"copy", "--internos", url, "--source", kSource, "--new", "B"}), 2);
  EXPECT_NE(output_.find("Cannot connect to the PostgreSQL server: "), std::string::npos);
  EXPECT_NE(output_.find("no_such_database"), std::string::npos) << output_;
}

}  // namespace
}  // namespace oq::test
