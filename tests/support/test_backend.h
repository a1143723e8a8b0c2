#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "connectors/components/dialect.h"
#include "host/host_connection.h"

namespace oq::test {

// A pair of fresh databases for one test: the database of internos and the NCM database, with the
// demo schema's tables created and no rows. The connections are real host connections.
struct BackendDatabases {
  std::shared_ptr<HostConnection> internos;
  std::shared_ptr<HostConnection> ncm;
  // How the program names them (for example "sqlite:/tmp/.../internos.db").
  std::string internosUrl;
  std::string ncmUrl;
  // Run when the test is done, after the connections are released (drop a server database...).
  std::function<void()> cleanup;
};

// A database engine the copy suites run on. Suites are parameterised by it:
//   INSTANTIATE_TEST_SUITE_P(Backends, MySuite, testing::ValuesIn(AvailableBackends()),
//                            BackendParamName);
class TestBackend {
 public:
  TestBackend() = default;
  TestBackend(const TestBackend&) = delete;
  TestBackend& operator=(const TestBackend&) = delete;
  virtual ~TestBackend() = default;

  // A short name, usable in a test name ("sqlite", "postgresql").
  virtual std::string name() const = 0;
  virtual Dialect dialect() const = 0;
  // Creates the two databases for one test; `folder` is an empty temporary folder the test owns
  // (removed afterwards) for backends that keep files. Throws on any failure.
  virtual BackendDatabases Create(const std::filesystem::path& folder) = 0;
};

// A backend registers itself from its own source file, linked into the test support:
//   namespace { const BackendRegistrar registrar([] { return MakeMyBackend(); }); }
// The maker runs once, when the suites are set up; it may return null when the backend cannot
// run on this machine (for example no server), and the backend is then left out.
class BackendRegistrar {
 public:
  explicit BackendRegistrar(std::function<std::shared_ptr<TestBackend>()> maker);
};

// The backends this machine can run, SQLite first.
std::vector<std::shared_ptr<TestBackend>> AvailableBackends();

// Prints a backend parameter by its name in test output.
void PrintTo(const std::shared_ptr<TestBackend>& backend, std::ostream* os);

// The test-name suffix of a backend parameter.
std::string BackendParamName(const testing::TestParamInfo<std::shared_ptr<TestBackend>>& info);

}  // namespace oq::test
