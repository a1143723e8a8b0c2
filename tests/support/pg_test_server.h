#pragma once

#include <optional>
#include <string>

namespace oq::test {

// The URL in OQ_TEST_PG_URL (set by scripts/test.sh) of a maintenance database on the throwaway
// test server; nothing when it is not set.
std::optional<std::string> TestServerUrl();

// True under continuous integration (CI set and not "false" or "0"), where a missing server is a
// failure rather than a reason to skip.
bool RunningInCi();

// `url` with its database name replaced by `database`: "postgresql://a/b?c" -> ".../database?c".
std::string WithDatabase(const std::string& url, const std::string& database);

// A fresh, empty database on the test server, dropped (closing what is still connected to it) by
// the destructor. Throws Failure when the server refuses.
class ScratchDatabase {
 public:
  explicit ScratchDatabase(std::string serverUrl);
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  const std::string& name() const { return name_; }
  const std::string& url() const { return url_; }

 private:
  std::string serverUrl_;
  std::string name_;
  std::string url_;
};

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
