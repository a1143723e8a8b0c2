// oquardelino history: the copies this account made, newest first, as the user's settings store
// recorded them when each committed, with the internos undone since.
#include <iostream>
#include <memory>
#include <string>

#include "careful_host/history.h"
#include "careful_host/json_envelope.h"
#include "careful_host/reports.h"
#include "commands.h"

namespace oq::app {

namespace {

struct HistoryOptions {
  std::string database;
  std::string number;
  bool json = false;
};

int ShowHistory(const HistoryOptions& options) {
  try {
    const std::string identity =
        options.database.empty() ? std::string() : careful::IdentityOf(options.database);
    const auto runs =
        careful::ReadHistory(SettingsStore::ForCurrentUser(), identity, options.number);
    if (options.json) {
      std::cout << careful::EnvelopeText(std::nullopt, {{"runs", careful::HistoryJson(runs)}})
                << '\n';
    } else {
      careful::PrintHistory(std::cout, runs);
    }
    return kExitOk;
  } catch (const std::exception& e) {  // Refusal, or Failure: the store cannot be read
    std::cerr << "oquardelino history: " << e.what() << '\n';
    if (options.json) {
      std::cout << careful::EnvelopeText(careful::RefusalError(e),
                                         {{"runs", nlohmann::ordered_json::array()}})
                << '\n';
    }
    return kExitUsage;
  }
}

}  // namespace

void AddHistoryCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<HistoryOptions>();
  CLI::App* command = app.add_subcommand(
      "history",
      "List the copies made from this account, newest first: each run's number, time, database "
      "and source, and the internos it made (items, FOB, whether undone)");
  command
      ->add_option("--database", options->database,
                   "Only the copies made on this database (however its URL is spelt)")
      ->type_name("URL");
  command->add_option("--number", options->number, "Only the copies that made this interno")
      ->type_name("NUMBER");
  command->add_flag("--json", options->json,
                    "Print one JSON object instead: version, ok, error, runs (run, when, database, "
                    "source, internos: interno, option, items, fob, undone)");
  command->footer(
      "Example: oquardelino history --number 2024-0901\n\nExit status: 0 listed (perhaps "
      "nothing); 2 the store or the database cannot be read.");
  command->callback([options, &exitStatus] { exitStatus = ShowHistory(*options); });
}

}  // namespace oq::app
