#include "postgres_backend.h"

#include <stdexcept>

#include "connectors/postgres/postgres_connection.h"
#include "demo/demo_schema.h"
#include "pg_test_server.h"

namespace oq::test {

namespace {

class PostgresBackend : public TestBackend {
 public:
  explicit PostgresBackend(std::optional<std::string> serverUrl)
      : serverUrl_(std::move(serverUrl)) {}

  std::string name() const override { return "postgresql"; }
  Dialect dialect() const override { return Dialect::kPostgres; }

  BackendDatabases Create(const std::filesystem::path& /*folder*/) override {
    if (!serverUrl_) {
      throw std::runtime_error(
          "OQ_TEST_PG_URL is not set: the PostgreSQL test server is missing (scripts/test.sh "
          "starts one)");
    }
    auto internosDb = std::make_shared<ScratchDatabase>(*serverUrl_);
    auto ncmDb = std::make_shared<ScratchDatabase>(*serverUrl_);
    BackendDatabases databases;
    databases.internos = std::make_shared<postgres::PostgresConnection>(internosDb->url());
    databases.ncm = std::make_shared<postgres::PostgresConnection>(ncmDb->url());
    demo::CreateInternosSchema(*databases.internos, Dialect::kPostgres);
    demo::CreateNcmSchema(*databases.ncm, Dialect::kPostgres);
    databases.internosUrl = internosDb->url();
    databases.ncmUrl = ncmDb->url();
    // Dropping the databases closes what is still connected to them, so the order in which the
    // test releases its connections does not matter.
    databases.cleanup = [internosDb, ncmDb]() mutable {
      internosDb.reset();
      ncmDb.reset();
    };
    return databases;
  }

 private:
  std::optional<std::string> serverUrl_;
};

const BackendRegistrar registrar([] { return MakePostgresBackend(); });

}  // namespace

std::shared_ptr<TestBackend> MakePostgresBackend() {
  std::optional<std::string> url = TestServerUrl();
  if (!url && !RunningInCi()) return nullptr;
  return std::make_shared<PostgresBackend>(std::move(url));
}

}  // namespace oq::test
