#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace oq::app {

// What to tell a person whose command line CLI11 refused: every unknown option by name with the
// closest known one, or every missing option at once, or CLI11's own message. `app` is the
// program's App after the failed parse.
std::string ExplainParseError(const CLI::App& app, const CLI::ParseError& error);

// The known option of `command` closest to `typed` (by edit distance), or "" when none is close.
std::string ClosestOption(const CLI::App& command, const std::string& typed);
// The command of `app` a person may type closest to `typed`, or "".
std::string ClosestCommand(const CLI::App& app, const std::string& typed);

}  // namespace oq::app
