#pragma once

#include <memory>

#include "test_backend.h"

namespace oq::test {

// Two fresh databases on the test server named by OQ_TEST_PG_URL, dropped after the test. Null
// without that variable, except under CI, where every test on it then fails: the server is missing.
std::shared_ptr<TestBackend> MakePostgresBackend();

}  // namespace oq::test
