#pragma once

#include <string>

namespace oq::app {

// "oquardelino 1.1.23" (the version the dialog shows) and the versions of the SQLite, libpq and
// Qt libraries the program runs with, one per line.
std::string VersionText();

}  // namespace oq::app
