// oquardelino: a host program for the interno copy component. It opens the databases, hands them
// to cMAIN and either shows the copy dialog or drives the same form without a window.
#include <algorithm>
#include <exception>
#include <iostream>
#include <string_view>

#include "careful_host/json_envelope.h"
#include "commands.h"
#include "parse_errors.h"
#include "version_text.h"

int main(int argc, char** argv) {
  CLI::App app{
      "oquardelino copies an interno (cover sheet, invoices and line items) into new ones inside "
      "the database of internos.\nRun 'oquardelino demo' first to create a demo database, then "
      "'oquardelino copy --help'.",
      // Always this name in help and messages, whatever path the program was started by.
      "oquardelino"};
  app.set_version_flag("--version", oq::app::VersionText(),
                       "Print the version and the versions of SQLite, libpq and Qt in use");
  app.require_subcommand(1);
  int exitStatus = oq::app::kExitOk;
  oq::app::AddDemoCommand(app, exitStatus);
  oq::app::AddCopyCommand(app, exitStatus);
  oq::app::AddDialogCommand(app, exitStatus);
  oq::app::AddSettingCommand(app, exitStatus);
  oq::app::AddPreviewCommand(app, exitStatus);
  oq::app::AddSplitCommand(app, exitStatus);
  oq::app::AddHistoryCommand(app, exitStatus);
  oq::app::AddUndoCommand(app, exitStatus);
  oq::app::AddCompletionCommand(app, exitStatus);
  oq::app::AddManPageCommand(app, exitStatus);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    const auto chosen = app.get_subcommands();
    const std::string command = chosen.empty() ? "" : chosen.front()->get_name();
    const std::string message = oq::app::ExplainParseError(app, e);
    if (std::any_of(argv, argv + argc,
                    [](const char* arg) { return std::string_view(arg) == "--json"; })) {
      std::cout << oq::careful::EnvelopeText(
                       oq::careful::CommandError{oq::careful::error_code::kBadArgument, message})
                << '\n';
    }
    std::cerr << "oquardelino" << (command.empty() ? "" : " " + command) << ": " << message
              << "\nRun 'oquardelino" << (command.empty() ? "" : " " + command)
              << " --help' for the options.\n";
    return oq::app::kExitUsage;
  } catch (const std::exception& e) {
    std::cerr << "oquardelino: " << e.what() << '\n';
    return oq::app::kExitUsage;
  }
  return exitStatus;
}
