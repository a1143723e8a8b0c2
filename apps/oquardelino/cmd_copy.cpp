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
#include "engine/conversions.h"
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

nlohmann::ordered_json CreatedJson(const std::vector<CreatedInterno>& created) {
  auto list = nlohmann::ordered_json::array();
  for (const CreatedInterno& interno : created) {
    list.push_back({{"interno", interno.interno}, {"items", interno.items}, {"fob", interno.fob}});
  }
  return list;
}

void PrintJson(const CopyResult& result, const std::optional<std::string>& error = std::nullopt) {
  nlohmann::ordered_json out;
  out["log"] = result.log;
  out["copias"] = result.copias;
  out["messages"] = nlohmann::ordered_json::array();
  for (const auto& box : result.messages) {
    out["messages"].push_back({{"style", box.style}, {"prompt", box.prompt}});
  }
  out["pointer"] = result.pointer ? nlohmann::ordered_json(*result.pointer) : nullptr;
  out["created"] = CreatedJson(result.created);
  if (error) out["error"] = *error;
  std::cout << out.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

// One line per interno the run made, after the log: what a script needs without the log's words.
void PrintCreated(const std::vector<CreatedInterno>& created) {
  for (const CreatedInterno& interno : created) {
    std::cout << "created " << interno.interno << ": " << interno.items
              << (interno.items == 1 ? " item" : " items") << ", FOB "
              << rt::NumberToText(interno.fob, ".") << '\n';
  }
}

// A refusal before any run: one line on standard error, and the JSON object when asked for.
int Refuse(const CopyOptions& options, const std::string& message) {
  std::cerr << "oquardelino copy: " << message << '\n';
  if (options.json) PrintJson(CopyResult{}, message);
  return kExitUsage;
}

int RunCopy(const CopyOptions& options) {
  CopyRequest request;
  try {
    request = Checked(options);
  } catch (const ArgumentError& e) {
    return Refuse(options, e.what());
  }

  const std::string ncmUrl = options.ncm.empty() ? options.internos : options.ncm;
  SessionDatabases databases;
  try {
    OpenDatabases(databases, options.internos, ncmUrl);
    RegisterComponentsFor(options.internos, ncmUrl);
  } catch (const std::exception& e) {
    return Refuse(options, "cannot open the database " +
                               (databases.internos ? ncmUrl : options.internos) + ": " + e.what());
  }
  PrepareDatabases(databases, [](const std::string& line) {
    std::cerr << "oquardelino copy: " << line << '\n';
  });
  try {
    CheckInternosTables(*databases.internos, options.internos);
    if (options.option != "todos") CheckNcmTable(*databases.ncm, ncmUrl);
    CheckSourceExists(*databases.internos, options.source, options.internos);
    if (options.dateSql)
      CheckDateExpression(*databases.internos, *options.dateSql, options.internos);
    CheckWritable(*databases.internos, options.internos);
  } catch (const PreflightError& e) {
    return Refuse(options, std::string(e.what()) + "; nothing was written");
  }

  InstallInterruptHandlers();
  auto* control = dynamic_cast<connectors::TransactionControl*>(databases.internos.get());
  request.progress = !options.json && ::isatty(STDERR_FILENO) == 1;
  const CopyResult result =
      RunCopySession(databases, control, request, options.json ? nullptr : &std::cout,
                     options.json ? nullptr : &std::cerr, std::cerr);
  if (options.json) {
    PrintJson(result);
  } else {
    PrintCreated(result.created);
  }
  return result.status;
}

}  // namespace

void PrintCopyJsonError(const std::string& message) { PrintJson(CopyResult{}, message); }

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
  command->add_flag("--yes", options->yes, "Make more than 50 copies without asking");
  command->add_flag("--json", options->json,
                    "Print one JSON object instead: log, copias, messages (style, prompt), "
                    "pointer, created (interno, items, fob) and, when refused, error");
  command->footer(
      "Example (on the demo database that 'oquardelino demo' makes):\n"
      "  D=~/.local/share/oquardelino\n"
      "  oquardelino copy --internos sqlite:$D/internos.db --ncm sqlite:$D/ncm.db \\\n"
      "                   --source 2024-0101 --new 2024-0901 --copies 2\n\n"
      "Exit status: 0 every copy was made; 1 a copy failed or its number was taken (a failed run "
      "writes nothing);\n2 refused arguments or a failed check (nothing written); 130 or 143 "
      "interrupted (nothing written).");
  command->callback([options, &exitStatus] { exitStatus = RunCopy(*options); });
}

}  // namespace oq::app
