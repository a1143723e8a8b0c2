#include "test_backend.h"

#include "connectors/sqlite/sqlite_connection.h"
#include "demo/demo_schema.h"
#ifdef OQ_TEST_POSTGRES
#include "postgres_backend.h"
#endif

namespace oq::test {

namespace {

// Two SQLite files in the test's folder.
BackendDatabases CreateSqliteDatabases(const std::filesystem::path& folder) {
  BackendDatabases databases;
  databases.internosUrl = "sqlite:" + (folder / "internos.db").string();
  databases.ncmUrl = "sqlite:" + (folder / "ncm.db").string();
  const sqlite::OpenOptions options{.createIfMissing = true};
  databases.internos = sqlite::SqliteConnection::Open(databases.internosUrl.substr(7), options);
  databases.ncm = sqlite::SqliteConnection::Open(databases.ncmUrl.substr(7), options);
  demo::CreateInternosSchema(*databases.internos, Dialect::kSqlite);
  demo::CreateNcmSchema(*databases.ncm, Dialect::kSqlite);
  return databases;
}

}  // namespace

std::vector<std::shared_ptr<TestBackend>> AvailableBackends() {
  static const std::vector<std::shared_ptr<TestBackend>> backends = [] {
    std::vector<std::shared_ptr<TestBackend>> all = {
        std::make_shared<TestBackend>("sqlite", Dialect::kSqlite, CreateSqliteDatabases)};
#ifdef OQ_TEST_POSTGRES
    if (std::shared_ptr<TestBackend> postgres = MakePostgresBackend()) all.push_back(postgres);
#endif
    return all;
  }();
  return backends;
}

std::string BackendParamName(const testing::TestParamInfo<std::shared_ptr<TestBackend>>& info) {
  return info.param->name;
}

}  // namespace oq::test
