#pragma once

#include <filesystem>
#include <vector>

namespace oq::bench {

// The folder where the templates and the measured copies live: ncm.db, and internos-<N>.db for
// each N. It is the caller's; nothing here removes it.
class Workspace {
 public:
  explicit Workspace(std::filesystem::path folder) : folder_(std::move(folder)) {}

  std::filesystem::path Ncm() const { return folder_ / "ncm.db"; }
  std::filesystem::path Internos(int n) const {
    return folder_ / ("internos-" + std::to_string(n) + ".db");
  }
  // A scratch database for one measurement, replaced by each FreshCopy.
  std::filesystem::path Scratch(const char* name) const {
    return folder_ / (std::string(name) + ".db");
  }
  const std::filesystem::path& folder() const { return folder_; }

  // Builds the NCM template and the template of every size (always anew: the builder is
  // deterministic, and a stale file from an older schema would mislead).
  void BuildTemplates(const std::vector<int>& sizes) const;

 private:
  std::filesystem::path folder_;
};

}  // namespace oq::bench
