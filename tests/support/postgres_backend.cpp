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

  BackendDatabases Create(const std::filesystem::path&) override {
    if (!serverUrl_) throw std::runtime_error("OQ_TEST_PG_URL is not set: no PostgreSQL server");
    auto internosDb = std::make_shared<ScratchDatabase>(*serverUrl_);
    auto ncmDb = std::make_shared<ScratchDatabase>(*serverUrl_);
    BackendDatabases databases{std::make_shared<postgres::PostgresConnection>(internosDb->url()),
                               std::make_shared<postgres::PostgresConnection>(ncmDb->url()),
                               internosDb->url(), ncmDb->url(), nullptr};
    demo::CreateInternosSchema(*databases.internos, Dialect::kPostgres);
    demo::CreateNcmSchema(*databases.ncm, Dialect::kPostgres);
    // Dropping a database closes what is still connected to it, whatever the order of release.
    databases.cleanup = [internosDb, ncmDb]() mutable {
      internosDb.reset();
      ncmDb.reset();
    };
    return databases;
  }

 private:
  std::optional<std::string> serverUrl_;
};

}  // namespace

std::shared_ptr<TestBackend> MakePostgresBackend() {
  std::optional<std::string> url = TestServerUrl();
  if (!url && !RunningInCi()) return nullptr;
  return std::make_shared<PostgresBackend>(std::move(url));
}

}  // namespace oq::test
