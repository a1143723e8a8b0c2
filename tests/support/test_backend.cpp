#include "test_backend.h"

#include <algorithm>
#include <utility>

namespace oq::test {

namespace {

struct Registry {
  std::vector<std::function<std::shared_ptr<TestBackend>()>> makers;
  bool made = false;
  std::vector<std::shared_ptr<TestBackend>> backends;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

}  // namespace

BackendRegistrar::BackendRegistrar(std::function<std::shared_ptr<TestBackend>()> maker) {
  TheRegistry().makers.push_back(std::move(maker));
}

std::vector<std::shared_ptr<TestBackend>> AvailableBackends() {
  Registry& registry = TheRegistry();
  if (!registry.made) {
    registry.made = true;
    for (const auto& maker : registry.makers) {
      if (std::shared_ptr<TestBackend> backend = maker()) registry.backends.push_back(backend);
    }
    // SQLite first, whatever order the files were linked in.
    std::stable_partition(
        registry.backends.begin(), registry.backends.end(),
        [](const auto& backend) { return backend->dialect() == Dialect::kSqlite; });
  }
  return registry.backends;
}

void PrintTo(const std::shared_ptr<TestBackend>& backend, std::ostream* os) {
  *os << (backend ? backend->name() : "no backend");
}

std::string BackendParamName(const testing::TestParamInfo<std::shared_ptr<TestBackend>>& info) {
  return info.param->name();
}

}  // namespace oq::test
