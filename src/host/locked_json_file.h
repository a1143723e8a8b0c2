#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "host/failure.h"

namespace oq {

// How a per-user JSON file reports its troubles and how it is written.
struct JsonFileRules {
  // Builds the Failure thrown for `file` with the reason `why`.
  std::function<Failure(const std::filesystem::path& file, const std::string& why)> failure;
  std::string unreadable;      // the reason when the file exists but cannot be opened
  std::string damaged;         // the reason when it holds no JSON object
  bool emptyIsObject = false;  // whether an empty file reads as an empty object
  mode_t mode = 0644;          // permissions of the file and of its ".lock" companion
};

// A JSON object kept in one file that several programs may change at once. Every change rewrites
// the file whole (a temporary file beside it, synced, then renamed over it) while holding an
// exclusive flock on a companion "<file>.lock", so concurrent writers each see the others' changes
// and lose none; readers take no lock and always see a whole file.
class LockedJsonFile {
 public:
  LockedJsonFile(std::filesystem::path file, JsonFileRules rules);

  // The stored object; a missing file is an empty object. Throws rules.failure when the file
  // cannot be read or is damaged.
  nlohmann::json Read() const;
  // Creates the folder when missing, then reads, applies `change` and writes back, all under the
  // lock. Throws rules.failure on any trouble (a damaged file is left as it was, and so is the file
  // when `change` or the write fails); exceptions from `change` pass through.
  void Update(const std::function<void(nlohmann::json&)>& change) const;

 private:
  std::filesystem::path file_;
  JsonFileRules rules_;
};

}  // namespace oq
