#pragma once

#include <memory>

#include "test_backend.h"

namespace oq::test {

// The embedded backend: two SQLite files in the test's folder, created with the demo schema.
std::shared_ptr<TestBackend> MakeSqliteBackend();

}  // namespace oq::test
