#include "pg_test_server.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "connectors/postgres/postgres_connection.h"

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

ScratchDatabase::ScratchDatabase(std::string serverUrl) : serverUrl_(std::move(serverUrl)) {
  // Unique across the test processes that ctest runs side by side, and within one.
  static std::atomic<int> counter{0};
  name_ = "oq_test_" + std::to_string(::getpid()) + "_" + std::to_string(++counter);
  url_ = WithDatabase(serverUrl_, name_);
  postgres::PostgresConnection admin(serverUrl_);
  admin.put_sql("create database " + name_);
  admin.ejecutar();
}

ScratchDatabase::~ScratchDatabase() {
  try {
    postgres::PostgresConnection admin(serverUrl_);
    admin.put_sql("drop database if exists " + name_ + " with (force)");
    admin.ejecutar();
  } catch (...) {
    // A database left behind goes with the throwaway server; a destructor must not throw.
  }
}

}  // namespace oq::test
