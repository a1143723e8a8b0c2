#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "host/failure.h"

namespace oq::test {

// A fresh folder under the system's temporary folder, removed with its contents at scope end.
class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "oq-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make " + pattern);
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// The Failure that `call` throws; number 0, with empty texts, when it throws none.
template <typename Call>
Failure FailureOf(Call call) {
  try {
    call();
  } catch (const Failure& failure) {
    return failure;
  }
  return Failure(0, "", "");
}

}  // namespace oq::test

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
