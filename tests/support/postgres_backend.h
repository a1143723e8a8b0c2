#pragma once

#include <memory>
#include <optional>
#include <string>

#include "test_backend.h"

namespace oq::test {

// The URL in OQ_TEST_PG_URL (set by scripts/test.sh) of a maintenance database on the throwaway
// test server; nothing when it is not set.
std::optional<std::string> TestServerUrl();
// True under continuous integration, where a missing server is a failure, not a reason to skip.
bool RunningInCi();
// `url` with its database name replaced by `database`: "postgresql://a/b?c" -> ".../database?c".
std::string WithDatabase(const std::string& url, const std::string& database);

// Two fresh databases on the test server for each test, dropped after it. Null without a server,
// except under CI, where every test on it then fails: the server is missing.
std::shared_ptr<TestBackend> MakePostgresBackend();

}  // namespace oq::test

// In a fixture's SetUp or a test body: skips the test without a test server, or fails it under CI.
#define OQ_REQUIRE_TEST_SERVER()                                                            \
  do {                                                                                      \
    if (!::oq::test::TestServerUrl()) {                                                     \
      if (::oq::test::RunningInCi()) {                                                      \
        GTEST_FAIL() << "OQ_TEST_PG_URL is not set: the PostgreSQL test server is missing"; \
      }                                                                                     \
      GTEST_SKIP() << "no PostgreSQL test server (OQ_TEST_PG_URL unset; scripts/test.sh "   \
                      "starts one)";                                                        \
    }                                                                                       \
  } while (false)
