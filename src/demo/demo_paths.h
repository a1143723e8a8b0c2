#pragma once

#include <filesystem>

namespace oq::demo {

// The program's data folder: $XDG_DATA_HOME/oquardelino when XDG_DATA_HOME is an absolute path,
// otherwise $HOME/.local/share/oquardelino. Throws std::runtime_error when neither variable gives
// a folder. The folder is not created.
std::filesystem::path DefaultDataFolder();

// The demo databases in the data folder: internos.db and ncm.db. Same failures.
std::filesystem::path DefaultInternosPath();
std::filesystem::path DefaultNcmPath();

}  // namespace oq::demo
