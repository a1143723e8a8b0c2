#pragma once

#include <CLI/CLI.hpp>
#include <string>

namespace oq::app {

// A bash completion script for `program` whose commands and options are those `app` defines when
// called: the subcommands a user may type (hidden ones left out), each one's options, the values
// an option offers through a set check, and the shell's path completion after any other option
// that takes a value. Defines _<program> and registers it with `complete`.
std::string BashCompletion(const CLI::App& app, const std::string& program);

}  // namespace oq::app
