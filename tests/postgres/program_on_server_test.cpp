// The built program against the test server: the database of internos and the NCM database on
// different engines (each direction), and two programs copying into one server database at once.
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "connectors/postgres/postgres_connection.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "demo/demo_data.h"
#include "demo/demo_ncm.h"
#include "host/recordset.h"
#include "support/pg_test_server.h"

namespace oq::test {
namespace {

constexpr const char* kSource = "2024-0101";  // the demo interno with items of every mark

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// A started program; Finish waits for it and gives its exit status and standard output.
class Program {
 public:
  Program(const std::filesystem::path& config, const std::vector<std::string>& args) {
    std::string command =
        "env LC_ALL=C XDG_CONFIG_HOME=" + ShellQuoted(config.string()) + " " OQ_PROGRAM " 2>&1";
    for (const std::string& arg : args) command += " " + ShellQuoted(arg);
    pipe_ = ::popen(command.c_str(), "r");
  }
  ~Program() {
    if (pipe_ != nullptr) Finish();
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  int Finish() {
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe_)) > 0;) {
      output_.append(buffer, n);
    }
    const int status = WEXITSTATUS(::pclose(pipe_));
    pipe_ = nullptr;
    return status;
  }
  const std::string& output() const { return output_; }

 private:
  FILE* pipe_ = nullptr;
  std::string output_;
};

// Rows of a query, each the values of `columns`.
std::vector<std::vector<Variant>> Rows(HostConnection& connection, const std::string& sql,
                                       const std::vector<std::string>& columns) {
  Variant holder;
  connection.put_sql(sql);
  connection.crearrs(holder);
  auto recordset = std::dynamic_pointer_cast<Recordset>(holder.asObject());
  std::vector<std::vector<Variant>> rows;
  for (; !recordset->Eof(); recordset->MoveNext()) {
    std::vector<Variant> row;
    for (const std::string& column : columns) row.push_back(recordset->Fields(column).Value());
    rows.push_back(std::move(row));
  }
  return rows;
}

std::int64_t Count(HostConnection& connection, const std::string& table,
                   const std::string& interno) {
  const std::string sql =
      "select count(*) as n from " + table + " where interno = '" + interno + "'";
  return Rows(connection, sql, {"n"}).at(0).at(0).toInt64();
}

class ProgramOnServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OQ_REQUIRE_TEST_SERVER();
    server_ = std::make_unique<ScratchDatabase>(*TestServerUrl());
    folder_ = std::filesystem::temp_directory_path() / server_->name();
    std::filesystem::create_directories(folder_);
    sqliteUrl_ = "sqlite:" + (folder_ / "local.db").string();
  }
  void TearDown() override {
    std::error_code ignored;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
  }

  int Run(const std::vector<std::string>& args) {
    Program program(folder_ / "config", args);
    const int status = program.Finish();
    EXPECT_EQ(status, 0) << program.output();
    return status;
  }

  std::shared_ptr<HostConnection> Open(const std::string& url) {
    if (url == server_->url()) return std::make_shared<postgres::PostgresConnection>(url);
    sqlite::OpenOptions options;
    return sqlite::SqliteConnection::Open(url.substr(std::string("sqlite:").size()), options);
  }

  std::unique_ptr<ScratchDatabase> server_;
  std::filesystem::path folder_;
  std::string sqliteUrl_;
};

TEST_F(ProgramOnServerTest, InternosAndNcmOnDifferentEnginesInBothDirections) {
  // What each option must keep, from the marks the demo gives the tariff codes.
  std::map<std::string, demo::Mark> markOf;
  for (const demo::TariffCode& code : demo::DemoTariffCodes())
    markOf[std::string(code.code)] = code.mark;

  for (const bool internosOnServer : {true, false}) {
    SCOPED_TRACE(internosOnServer ? "internos on PostgreSQL, ncm on SQLite"
                                  : "internos on SQLite, ncm on PostgreSQL");
    const std::string internosUrl = internosOnServer ? server_->url() : sqliteUrl_;
    const std::string ncmUrl = internosOnServer ? sqliteUrl_ : server_->url();
    ASSERT_EQ(Run({"demo", "--force", "--internos", internosUrl, "--ncm", ncmUrl}), 0);
    auto internos = Open(internosUrl);

    std::map<demo::Mark, std::int64_t> itemsWith;
    for (const auto& row :
         Rows(*internos, "select ncm from subitems where interno = '" + std::string(kSource) + "'",
              {"ncm"})) {
      ++itemsWith[markOf.at(row[0].asString())];
    }
    const struct {
      const char* option;
      const char* number;
      std::int64_t items;
    } cases[] = {
        {"todos", "M-TODOS", Count(*internos, "subitems", kSource)},
        {"con-lapi", "M-CON", itemsWith[demo::Mark::kLicence]},
        {"sin-lapi", "M-SIN", itemsWith[demo::Mark::kEmpty]},
    };
    for (const auto& c : cases) {
      SCOPED_TRACE(c.option);
      ASSERT_EQ(Run({"copy", "--internos", internosUrl, "--ncm", ncmUrl, "--source", kSource,
                     "--new", c.number, "--option", c.option}),
                0);
      EXPECT_EQ(Count(*internos, "caratula", c.number), 1);
      EXPECT_EQ(Count(*internos, "subitems", c.number), c.items);
    }
    EXPECT_GT(itemsWith[demo::Mark::kLicence], 0);
    EXPECT_GT(itemsWith[demo::Mark::kEmpty], 0);
  }
}

TEST_F(ProgramOnServerTest, TwoProgramsCopyIntoOneDatabaseAtOnce) {
  ASSERT_EQ(Run({"demo", "--internos", server_->url(), "--ncm", server_->url()}), 0);
  const auto copyArgs = [&](const std::string& number) {
    return std::vector<std::string>{"copy",  "--internos", server_->url(), "--source", kSource,
                                    "--new", number,       "--copies",     "10"};
  };
  // Both are started before either is waited for, so their statements interleave on the server.
  Program first(folder_ / "config", copyArgs("P"));
  Program second(folder_ / "config", copyArgs("Q"));
  EXPECT_EQ(first.Finish(), 0) << first.output();
  EXPECT_EQ(second.Finish(), 0) << second.output();

  auto internos = Open(server_->url());
  const auto descriptions = [&](const std::string& interno) {
    return Rows(*internos,
                "select descripcion from subitems where interno = '" + interno + "' order by id",
                {"descripcion"});
  };
  const auto sourceItems = descriptions(kSource);
  const auto invoices = Count(*internos, "facturas", kSource);
  for (const char* prefix : {"P_", "Q_"}) {
    for (int copy = 1; copy <= 10; ++copy) {
      const std::string number = prefix + std::to_string(copy);
      SCOPED_TRACE(number);
      EXPECT_EQ(Count(*internos, "caratula", number), 1);
      EXPECT_EQ(Count(*internos, "facturas", number), invoices);
      // Every copy complete and in the source's order, whatever the other program inserted.
      EXPECT_EQ(descriptions(number), sourceItems);
    }
  }
}

}  // namespace
}  // namespace oq::test
