#pragma once

#include <filesystem>
#include <random>
#include <string>

#include "host/failure.h"

namespace oq::test {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes.
class TempFolder {
 public:
  TempFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("oq-connectors-" + std::to_string(seed()) + std::to_string(seed()));
    std::filesystem::create_directories(path_);
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
