// oquardelino: a host program for the interno copy component. It opens the databases, hands them
// to cMAIN and either shows the copy dialog or drives the same form without a window.
#include <exception>
#include <iostream>

#include "commands.h"

int main(int argc, char** argv) {
  CLI::App app{
      "oquardelino copies an interno (cover sheet, invoices and line items) into new ones inside "
      "the database of internos.\nRun 'oquardelino demo' first to create a demo database, then "
      "'oquardelino copy --help'."};
  app.require_subcommand(1);
  int exitStatus = oq::app::kExitOk;
  oq::app::AddDemoCommand(app, exitStatus);
  oq::app::AddCopyCommand(app, exitStatus);
  oq::app::AddDialogCommand(app, exitStatus);
  oq::app::AddSettingCommand(app, exitStatus);
  oq::app::AddCompletionCommand(app, exitStatus);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? oq::app::kExitOk : oq::app::kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "oquardelino: " << e.what() << '\n';
    return oq::app::kExitUsage;
  }
  return exitStatus;
}
