// Placeholder until the command is built: it registers the name so the program links.
#include <iostream>

#include "commands.h"

namespace oq::app {
void AddDemoCommand(CLI::App& app, int& exitStatus) {
  CLI::App* command = app.add_subcommand("demo", "(not available yet)");
  command->callback([&exitStatus] {
    std::cerr << "oquardelino: 'demo' is not available in this build\n";
    exitStatus = kExitUsage;
  });
}
}  // namespace oq::app
