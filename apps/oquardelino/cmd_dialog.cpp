// Placeholder until the command is built: it registers the name so the program links.
#include <iostream>

#include "commands.h"

namespace oq::app {
void AddDialogCommand(CLI::App& app, int& exitStatus) {
  CLI::App* command = app.add_subcommand("dialog", "(not available yet)");
  command->callback([&exitStatus] {
    std::cerr << "oquardelino: 'dialog' is not available in this build\n";
    exitStatus = kExitUsage;
  });
}
}  // namespace oq::app
