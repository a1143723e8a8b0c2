#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "../connectors/temp_folder.h"
#include "host/failure.h"

// Sets (or, given null, removes) an environment variable for the scope's life.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    Set(value);
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  ~ScopedVariable() { Set(previous_ ? previous_->c_str() : nullptr); }

 private:
  void Set(const char* value) {
    value ? ::setenv(name_.c_str(), value, 1) : ::unsetenv(name_.c_str());
  }
  std::string name_;
  std::optional<std::string> previous_;
};

// Points the per-user component registry (OQ_COMPONENT_REGISTRY) at a file in a fresh temporary
// folder for the scope's life, so that no test reads or writes the user's own registry.
class ScopedRegistry {
 public:
  std::filesystem::path file() const { return folder_.path() / "components.json"; }

 private:
  oq::test::TempFolder folder_;
  ScopedVariable variable_{"OQ_COMPONENT_REGISTRY", file().c_str()};
};

// The number of the Failure that `call` throws, or 0 when it throws none.
template <typename Call>
std::int32_t FailureNumber(Call call) {
  return oq::test::FailureOf(call).number();
}
