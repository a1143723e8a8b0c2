// Placeholder until the command is built: it registers the name so the program links.
#include <iostream>

#include "commands.h"

namespace oq::app {
void AddSettingCommand(CLI::App& app, int& exitStatus) {
  CLI::App* command = app.add_subcommand("setting", "(not available yet)");
  command->callback([&exitStatus] {
    std::cerr << "oquardelino: 'setting' is not available in this build\n";
    exitStatus = kExitUsage;
  });
}
}  // namespace oq::app
