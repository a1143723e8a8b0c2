#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::test {

// Two fresh databases for one test, internos and NCM, with the demo schema's tables and no rows.
struct BackendDatabases {
  std::shared_ptr<HostConnection> internos;
  std::shared_ptr<HostConnection> ncm;
  std::string internosUrl;  // as the program names them ("sqlite:/tmp/.../internos.db")
  std::string ncmUrl;
  std::function<void()> cleanup;  // run after the connections are released
};

// A database engine the copy suites run on, as their parameter:
//   INSTANTIATE_TEST_SUITE_P(Backends, MySuite, testing::ValuesIn(AvailableBackends()),
//                            BackendParamName);
struct TestBackend {
  std::string name;  // "sqlite", "postgresql"
  Dialect dialect;
  // Creates the databases in `folder`, an empty temporary folder the test owns. Throws on failure.
  std::function<BackendDatabases(const std::filesystem::path& folder)> create;
};

// The backends this machine can run, SQLite first.
std::vector<std::shared_ptr<TestBackend>> AvailableBackends();
inline void PrintTo(const std::shared_ptr<TestBackend>& backend, std::ostream* os) {
  *os << (backend ? backend->name : "no backend");
}
std::string BackendParamName(const testing::TestParamInfo<std::shared_ptr<TestBackend>>& info);

}  // namespace oq::test
