// oquardelino copy: a host that makes copies of an interno without a window. It checks its
// arguments and the databases, then shows frmMAIN through a headless view that types the new
// number and the copies, picks the option and presses F11 then ESC, exactly as a user at the
// window would, with the run in one transaction.
#include <unistd.h>

#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "careful_host/copy_session.h"
#include "careful_host/json_envelope.h"
#include "careful_host/reports.h"
#include "careful_host/request_checks.h"
#include "cli_options.h"
#include "commands.h"

namespace oq::app {

namespace {

using careful::CopyRequest;
using careful::CopyResult;

struct CopyOptions : CopyRequest {
  std::string internos;
  std::string ncm;
  std::optional<std::string> copies;
  std::optional<std::string> copiesAsTyped;
  std::optional<std::string> dateSql;
  bool yes = false;
  bool json = false;
  bool numberAsTyped = false;
};

// Asks on a terminal before many copies; anywhere else --yes must say so.
void Confirm(const CopyOptions& options, int copies) {
  if (copies <= careful::kCopiesWithoutAsking || options.option != "todos" || options.yes) return;
  const std::string what = std::to_string(copies) + " copies (" + options.newNumber + "_1 to " +
                           options.newNumber + "_" + std::to_string(copies) + ")";
  if (::isatty(STDIN_FILENO) != 1 || ::isatty(STDERR_FILENO) != 1) {
    throw careful::ArgumentError(what + " is more than " +
                                 std::to_string(careful::kCopiesWithoutAsking) +
                                 ": add --yes to make them");
  }
  std::cerr << "Make " << what << "? [y/N] " << std::flush;
  std::string answer;
  std::getline(std::cin, answer);
  if (answer != "y" && answer != "Y" && answer != "yes") {
    throw careful::ArgumentError("not confirmed: nothing was copied");
  }
}

// The job the options describe, or ArgumentError.
careful::CopyJob Job(const CopyOptions& options) {
  careful::CopyJob job{options.internos, options.ncm.empty() ? options.internos : options.ncm,
                       options, options.dateSql};
  careful::CheckNewNumber(options.newNumber, options.maxLength, options.numberAsTyped);
  int copies = 1;
  if (options.copiesAsTyped) {
    copies = careful::CopiesTheBoxMakes(*options.copiesAsTyped);
    job.request.copiesText = *options.copiesAsTyped;
  } else if (options.copies) {
    copies = careful::ParseCopies(*options.copies);
    job.request.copiesText = std::to_string(copies);
  }
  if (options.date) job.request.date = careful::DateLiteral(*options.date);
  if (options.dateSql) job.request.date = *options.dateSql;
  Confirm(options, copies);
  job.request.progress = !options.json && ::isatty(STDERR_FILENO) == 1;
  return job;
}

int RunCopy(const CopyOptions& options) {
  try {
    const CopyResult result = careful::RunCopyJob(Job(options), options.json ? nullptr : &std::cout,
                                                  options.json ? nullptr : &std::cerr, std::cerr);
    if (options.json) {
      std::cout << careful::EnvelopeText(careful::CopyError(result),
                                         careful::CopyResultJson(result))
                << '\n';
    } else {
      for (const auto& interno : result.created) careful::PrintCreated(std::cout, interno);
    }
    return result.status;
  } catch (const std::exception& e) {  // ArgumentError or Refusal: nothing was written
    std::cerr << "oquardelino copy: " << e.what() << '\n';
    if (options.json) std::cout << careful::EnvelopeText(careful::RefusalError(e)) << '\n';
    return kExitUsage;
  }
}

}  // namespace

void AddCopyCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<CopyOptions>();
  CLI::App* command = app.add_subcommand(
      "copy",
      "Copy an interno (cover sheet, invoices, items) to a new number, as F11 in the dialog does. "
      "The run is all or nothing: it is committed only when it ended without a fault.");
  AddDatabaseOptions(*command, options->internos, options->ncm, options->source, "copy");
  command
      ->add_option("--new", options->newNumber,
                   "The number of the new interno (with several copies: NUMBER_1, NUMBER_2...)")
      ->required()
      ->type_name("NUMBER");
  CLI::Option* copies =
      command
          ->add_option(
              "--copies", options->copies,
              "How many copies, 1 to 32767 (default 1); above 1 makes NUMBER_1, NUMBER_2...")
          ->type_name("N");
  command
      ->add_option("--copies-as-typed", options->copiesAsTyped,
                   "Type this text into the copies box exactly as a clerk would (\"2,5\", "
                   "\"3abc\", \"\"): the box's own reading rules decide the count")
      ->type_name("TEXT")
      ->excludes(copies);
  command
      ->add_option("--option", options->option,
                   "todos: all items; con-lapi / sin-lapi: one copy with only the items whose "
                   "tariff position carries / lacks the licence mark")
      ->check(CLI::IsMember({"todos", "con-lapi", "sin-lapi"}))
      ->capture_default_str();
  AddRunOptions(*command, options->date, options->dateSql, options->keepPartial);
  command
      ->add_option("--max-length", options->maxLength,
                   "Refuse a new number longer than N characters (the dialog's typing limit)")
      ->type_name("N")
      ->check(CLI::Range(1, 32767));
  command->add_flag("--number-as-typed", options->numberAsTyped,
                    "Keep blanks before or after --new, as the dialog's box would (refused "
                    "otherwise)");
  command->add_flag("--yes", options->yes, "Make more than 50 copies without asking");
  command->add_flag("--json", options->json,
                    "Print one JSON object instead: version, ok, error (code, message) or null, "
                    "then log, copias, messages (style, prompt), pointer, created (interno, "
                    "items, fob)");
  command->footer(
      "Example (on the demo database that 'oquardelino demo' makes):\n"
      "  D=~/.local/share/oquardelino\n"
      "  oquardelino copy --internos sqlite:$D/internos.db --ncm sqlite:$D/ncm.db \\\n"
      "                   --source 2024-0101 --new 2024-0901 --copies 2\n\n"
      "Exit status: 0 every copy was made; 1 a copy failed or its number was taken (a failed run "
      "writes nothing);\n2 refused arguments or a failed check (nothing written); 130 or 143 "
      "interrupted (nothing written).\nWith --json, error.code tells which: number-taken, "
      "run-failed, bad-argument, check-failed, interrupted.");
  command->callback([options, &exitStatus] { exitStatus = RunCopy(*options); });
}

}  // namespace oq::app
