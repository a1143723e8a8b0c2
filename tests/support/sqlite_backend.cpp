#include "sqlite_backend.h"

#include "connectors/sqlite/sqlite_connection.h"
#include "demo/demo_schema.h"

namespace oq::test {

namespace {

class SqliteBackend : public TestBackend {
 public:
  std::string name() const override { return "sqlite"; }
  Dialect dialect() const override { return Dialect::kSqlite; }

  BackendDatabases Create(const std::filesystem::path& folder) override {
    sqlite::OpenOptions options;
    options.createIfMissing = true;
    const std::string internosPath = (folder / "internos.db").string();
    const std::string ncmPath = (folder / "ncm.db").string();
    BackendDatabases databases;
    databases.internos = sqlite::SqliteConnection::Open(internosPath, options);
    databases.ncm = sqlite::SqliteConnection::Open(ncmPath, options);
    demo::CreateInternosSchema(*databases.internos, Dialect::kSqlite);
    demo::CreateNcmSchema(*databases.ncm, Dialect::kSqlite);
    databases.internosUrl = "sqlite:" + internosPath;
    databases.ncmUrl = "sqlite:" + ncmPath;
    return databases;
  }
};

const BackendRegistrar registrar([] { return MakeSqliteBackend(); });

}  // namespace

std::shared_ptr<TestBackend> MakeSqliteBackend() { return std::make_shared<SqliteBackend>(); }

}  // namespace oq::test
