#include "demo/demo_paths.h"

#include <cstdlib>
#include <stdexcept>

#include "demo/demo_files.h"

namespace oq::demo {

std::filesystem::path DefaultDataFolder() {
  // The base-directory rules ignore a relative XDG_DATA_HOME, as it would depend on the folder
  // the program was started from.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    return std::filesystem::path(xdg) / "oquardelino";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    return std::filesystem::path(home) / ".local" / "share" / "oquardelino";
  }
  throw std::runtime_error(
      "cannot find the data folder: neither XDG_DATA_HOME nor HOME is set; give a folder with "
      "--dir");
}

std::filesystem::path DefaultInternosPath() {
  return DefaultDataFolder() / demo::kInternosFileName;
}

std::filesystem::path DefaultNcmPath() { return DefaultDataFolder() / demo::kNcmFileName; }

}  // namespace oq::demo
