// oquardelino copy: a host that makes copies of an interno without a window. It checks its
// arguments and the databases, then shows frmMAIN through a headless view that types the new
// number and the copies, picks the option and presses F11 then ESC, exactly as a user at the
// window would, with the run in one transaction.
#include <unistd.h>

#include <exception>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "commands.h"
#include "copy_arguments.h"
#include "copy_session.h"
#include "interrupts.h"
#include "main_session.h"
#include "preflight.h"

namespace oq::app {

namespace {

struct CopyOptions : CopyRequest {
  std::string internos;
  std::string ncm;
  std::optional<std::string> copies;
  std::optional<std::string> copiesAsTyped;
  std::optional<std::string> dateSql;
  bool yes = false;
  bool json = false;
};

// Makes the request the session runs, or throws ArgumentError.
CopyRequest Checked(const CopyOptions& options) {
  CopyRequest request = options;
  CheckNewNumber(options.newNumber, options.maxLength);
  int copies = 1;
  if (options.copiesAsTyped) {
    copies = CopiesTheBoxMakes(*options.copiesAsTyped);
    request.copiesText = *options.copiesAsTyped;
  } else if (options.copies) {
    copies = ParseCopies(*options.copies);
    request.copiesText = std::to_string(copies);
  }
  if (options.date) request.date = DateLiteral(*options.date);
  if (options.dateSql) request.date = *options.dateSql;
  if (copies > kCopiesWithoutAsking && options.option == "todos" && !options.yes) {
    const std::string what = std::to_string(copies) + " copies (" + options.newNumber + "_1 to " +
                             options.newNumber + "_" + std::to_string(copies) + ")";
    if (::isatty(STDIN_FILENO) != 1 || ::isatty(STDERR_FILENO) != 1) {
      throw ArgumentError(what + " is more than " + std::to_string(kCopiesWithoutAsking) +
                          ": add --yes to make them");
    }
    std::cerr << "Make " << what << "? [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    if (answer != "y" && answer != "Y" && answer != "yes") {
      throw ArgumentError("not confirmed: nothing was copied");
    }
  }
  return request;
}

void PrintJson(const CopyResult& result) {
  nlohmann::ordered_json out;
  out["log"] = result.log;
  out["copias"] = result.copias;
  out["messages"] = nlohmann::ordered_json::array();
  for (const auto& box : result.messages) {
    out["messages"].push_back({{"style", box.style}, {"prompt", box.prompt}});
  }
  out["pointer"] = result.pointer ? nlohmann::ordered_json(*result.pointer) : nullptr;
  std::cout << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

int RunCopy(const CopyOptions& options) {
  CopyRequest request;
  try {
    request = Checked(options);
  } catch (const ArgumentError& e) {
    std::cerr << "oquardelino copy: " << e.what() << '\n';
    return kExitUsage;
  }

  const std::string ncmUrl = options.ncm.empty() ? options.internos : options.ncm;
  SessionDatabases databases;
  try {
    OpenDatabases(databases, options.internos, ncmUrl);
    RegisterComponentsFor(options.internos, ncmUrl);
  } catch (const std::exception& e) {
    std::cerr << "oquardelino copy: cannot open the database "
              << (databases.internos ? ncmUrl : options.internos) << ": " << e.what() << '\n';
    return kExitUsage;
  }
  try {
    CheckInternosTables(*databases.internos, options.internos);
    if (options.option != "todos") CheckNcmTable(*databases.ncm, ncmUrl);
    CheckSourceExists(*databases.internos, options.source, options.internos);
    CheckWritable(*databases.internos, options.internos);
  } catch (const PreflightError& e) {
    std::cerr << "oquardelino copy: " << e.what() << "; nothing was written\n";
    return kExitUsage;
  }

  InstallInterruptHandlers();
  auto* control = dynamic_cast<connectors::TransactionControl*>(databases.internos.get());
  const CopyResult result =
      RunCopySession(databases, control, request, options.json ? nullptr : &std::cout,
                     options.json ? nullptr : &std::cerr, std::cerr);
  if (options.json) PrintJson(result);
  return result.status;
}

}  // namespace

void AddCopyCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<CopyOptions>();
  CLI::App* command = app.add_subcommand(
      "copy",
      "Copy an interno (cover sheet, invoices, items) to a new number, as F11 in the dialog does. "
      "The run is all or nothing: it is committed only when it ended without a fault.");
  command->add_option("--internos", options->internos, "Database of internos, e.g. sqlite:PATH")
      ->required()
      ->type_name("URL");
  command->add_option("--ncm", options->ncm, "NCM database (default: the --internos URL)")
      ->type_name("URL");
  command->add_option("--source", options->source, "The interno to copy")
      ->required()
      ->type_name("NUMBER");
  command->add_option("--new", options->newNumber, "The new interno number")
      ->required()
      ->type_name("TEXT");
  CLI::Option* copies =
      command
          ->add_option("--copies", options->copies,
                       "How many copies, 1 to 32767 (default 1); above 1 makes NEW_1, NEW_2...")
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
  CLI::Option* date = command
                          ->add_option("--date", options->date,
                                       "The date written into fecha and fechaalta (default: today)")
                          ->type_name("YYYY-MM-DD");
  command
      ->add_option("--date-sql", options->dateSql,
                   "An SQL value expression written unquoted into fecha and fechaalta instead "
                   "of --date, for hosts that need one")
      ->type_name("EXPR")
      ->excludes(date);
  command
      ->add_option("--max-length", options->maxLength,
                   "The longest new number accepted, in characters (the dialog's typing limit)")
      ->type_name("N")
      ->check(CLI::Range(1, 32767));
  command->add_flag("--keep-partial", options->keepPartial,
                    "Send the statements one by one with no transaction: what a step wrote stays "
                    "when a later one fails");
  command->add_flag("--yes", options->yes, "Make more than 50 copies without asking");
  command->add_flag("--json", options->json,
                    "Print one JSON object: log, copias, messages (style, prompt), pointer");
  command->callback([options, &exitStatus] { exitStatus = RunCopy(*options); });
}

}  // namespace oq::app
