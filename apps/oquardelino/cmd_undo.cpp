// oquardelino undo: takes back what a recorded copy made, in one transaction, only while the
// internos are exactly as the copy left them.
#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "careful_host/json_envelope.h"
#include "careful_host/reports.h"
#include "careful_host/undo.h"
#include "commands.h"

namespace oq::app {

namespace {

struct UndoOptions : careful::UndoRequest {
  bool yes = false;
  bool json = false;
};

// Asks on a terminal; anywhere else --yes must say so (RunUndo then says it was not confirmed).
bool Confirm(const UndoOptions& options, const std::vector<careful::UndoTarget>& targets) {
  if (options.yes) return true;
  std::string what;
  for (const auto& target : targets) what += (what.empty() ? "" : ", ") + target.interno.interno;
  if (::isatty(STDIN_FILENO) != 1 || ::isatty(STDERR_FILENO) != 1) return false;
  std::cerr << "Delete " << what << " (cover sheet, invoices, items)? [y/N] " << std::flush;
  std::string answer;
  std::getline(std::cin, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

int RunUndo(const UndoOptions& options) {
  careful::UndoResult result;
  if (options.numbers.empty() && options.run.empty()) {
    result.code = careful::error_code::kBadArgument;
    result.error = "name the internos to undo, or --run ID";
  } else {
    result = careful::RunUndo(
        options, [&options](const auto& targets) { return Confirm(options, targets); }, std::cerr);
  }
  if (!result.code.empty()) {
    std::cerr << "oquardelino undo: " << result.error << '\n';
    for (std::size_t i = 1; i < result.refused.size(); ++i) {
      std::cerr << "oquardelino undo: " << result.refused[i].first
                << " cannot be undone: " << result.refused[i].second << '\n';
    }
  }
  if (options.json) {
    std::optional<careful::CommandError> error;
    if (!result.code.empty()) error = careful::CommandError{result.code, result.error};
    std::cout << careful::EnvelopeText(error, careful::UndoJson(result)) << '\n';
  } else {
    careful::PrintUndo(std::cout, result);
  }
  return result.status;
}

}  // namespace

void AddUndoCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<UndoOptions>();
  CLI::App* command = app.add_subcommand(
      "undo",
      "Take back copies made from this account: delete the cover sheet, invoices and items a "
      "recorded copy wrote, and its mark, in one transaction, only while nobody has changed them");
  command
      ->add_option("--internos", options->internosUrl,
                   "The database that holds the internos: sqlite:PATH or postgresql://...")
      ->required()
      ->type_name("URL");
  command->add_option("NUMBER", options->numbers, "The internos to undo (see oquardelino history)");
  command->add_option("--run", options->run, "Undo every interno of this run that still stands")
      ->type_name("ID");
  command->add_flag("--yes", options->yes, "Delete without asking");
  command->add_flag("--json", options->json,
                    "Print one JSON object instead: version, ok, error (code, message), undone "
                    "(interno, run, items, fob), refused (interno, reason)");
  command->footer(
      "Example: oquardelino undo --internos sqlite:$D/internos.db 2024-0901 --yes\n\n"
      "Exit status: 0 undone; 1 the database failed (nothing deleted); 2 refused: not made by a "
      "recorded copy,\nchanged since (an edited item, an added invoice, a different FOB...), "
      "referred to by other rows, or not confirmed\n(nothing deleted); 130 or 143 interrupted "
      "(nothing deleted).");
  command->callback([options, &exitStatus] { exitStatus = RunUndo(*options); });
}

}  // namespace oq::app
