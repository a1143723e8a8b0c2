#include "postgres_backend.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <stdexcept>

#include "connectors/postgres/postgres_connection.h"
#include "demo/demo_schema.h"

namespace oq::test {

std::optional<std::string> TestServerUrl() {
  const char* url = std::getenv("OQ_TEST_PG_URL");
  if (url == nullptr || *url == '\0') return std::nullopt;
  return std::string(url);
}

bool RunningInCi() {
  const char* ci = std::getenv("CI");
  const std::string value = ci == nullptr ? "" : ci;
  return !value.empty() && value != "false" && value != "0";
}

std::string WithDatabase(const std::string& url, const std::string& database) {
  const std::size_t scheme = url.find("://");
  const std::size_t path = url.find_first_of("/?", scheme == std::string::npos ? 0 : scheme + 3);
  if (path == std::string::npos) return url + "/" + database;
  const std::size_t query = url.find('?', path);
  return url.substr(0, path) + "/" + database +
         (query == std::string::npos ? "" : url.substr(query));
}

namespace {

void OnServer(const std::string& server, const std::string& statement) {
  postgres::PostgresConnection admin(server);
  admin.put_sql(statement);
  admin.ejecutar();
}

// Two databases on `server`, unique across the test processes that ctest runs side by side and
// within one.
BackendDatabases CreateServerDatabases(const std::optional<std::string>& server) {
  if (!server) throw std::runtime_error("OQ_TEST_PG_URL is not set: no PostgreSQL server");
  static std::atomic<int> counter{0};
  const std::string stem = "oq_test_" + std::to_string(::getpid()) + "_";
  const std::string internos = stem + std::to_string(++counter);
  const std::string ncm = stem + std::to_string(++counter);
  for (const std::string& name : {internos, ncm}) {
    OnServer(*server, "create database " + name);
    // An older server's defaults, still found in migrated databases: a backslash escapes inside
    // '...', and transactions see one snapshot. What the program writes must not change.
    OnServer(*server, "alter database " + name + " set standard_conforming_strings = off");
    OnServer(*server,
             "alter database " + name + " set default_transaction_isolation = 'repeatable read'");
  }
  BackendDatabases databases{nullptr, nullptr, WithDatabase(*server, internos),
                             WithDatabase(*server, ncm), nullptr};
  // Dropping a database closes what is still connected to it, whatever the order of release;
  // one left behind goes with the throwaway server.
  databases.cleanup = [server = *server, internos, ncm] {
    for (const std::string& name : {internos, ncm}) {
      try {
        OnServer(server, "drop database if exists " + name + " with (force)");
      } catch (...) {
      }
    }
  };
  databases.internos = std::make_shared<postgres::PostgresConnection>(databases.internosUrl);
  databases.ncm = std::make_shared<postgres::PostgresConnection>(databases.ncmUrl);
  demo::CreateInternosSchema(*databases.internos, Dialect::kPostgres);
  demo::CreateNcmSchema(*databases.ncm, Dialect::kPostgres);
  return databases;
}

}  // namespace

std::shared_ptr<TestBackend> MakePostgresBackend() {
  std::optional<std::string> url = TestServerUrl();
  if (!url && !RunningInCi()) return nullptr;
  return std::make_shared<TestBackend>(
      "postgresql", Dialect::kPostgres,
      [url](const std::filesystem::path&) { return CreateServerDatabases(url); });
}

}  // namespace oq::test
