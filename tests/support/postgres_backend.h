#pragma once

#include <memory>

#include "test_backend.h"

namespace oq::test {

// The server backend: two fresh databases (internos and NCM) on the PostgreSQL test server named by
// OQ_TEST_PG_URL, created with the demo schema for each test and dropped after it. Without that
// variable the backend is left out, except under CI, where it stays and every test on it fails
// with a message that the server is missing.
std::shared_ptr<TestBackend> MakePostgresBackend();

}  // namespace oq::test
