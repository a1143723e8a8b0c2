#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "host/failure.h"

// Sets (or, given null, removes) an environment variable for the scope's life.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;
  ~ScopedVariable() {
    if (previous_) {
      ::setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// Points the per-user component registry (OQ_COMPONENT_REGISTRY) at a file in a fresh temporary
// folder for the scope's life, so that no test reads or writes the user's own registry.
class ScopedRegistry {
 public:
  ScopedRegistry() : folder_(MakeFolder()), variable_("OQ_COMPONENT_REGISTRY", file().c_str()) {}
  ScopedRegistry(const ScopedRegistry&) = delete;
  ScopedRegistry& operator=(const ScopedRegistry&) = delete;
  ~ScopedRegistry() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }

  std::filesystem::path file() const { return folder_ / "components.json"; }

 private:
  static std::filesystem::path MakeFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "oq-registry-XXXXXX").string();
    return ::mkdtemp(pattern.data());
  }

  std::filesystem::path folder_;
  ScopedVariable variable_;
};

// The number of the Failure that `call` throws, or 0 when it throws none.
template <typename Call>
std::int32_t FailureNumber(Call call) {
  try {
    call();
  } catch (const oq::Failure& failure) {
    return failure.number();
  }
  return 0;
}
