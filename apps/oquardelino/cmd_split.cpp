// oquardelino split: the licence-bound and the free part of an interno in one step. It makes the
// con-LAPI copy and the sin-LAPI copy as two F11 runs in one transaction, then reconciles them:
// their FOB totals against the source's, and every item that neither copy took, with the reason.
#include <unistd.h>

#include <iostream>
#include <memory>
#include <string>

#include "careful_host/reports.h"
#include "careful_host/request_checks.h"
#include "careful_host/split.h"
#include "cli_options.h"
#include "commands.h"

namespace oq::app {

namespace {

struct SplitOptions : careful::SplitRequest {
  std::string internos;
  std::string ncm;
  bool json = false;
};

int RunSplit(SplitOptions options) {
  try {
    options.internosUrl = options.internos;
    options.ncmUrl = options.ncm.empty() ? options.internos : options.ncm;
    if (options.date) options.date = careful::DateLiteral(*options.date);
    if (options.dateSql) options.date = *options.dateSql;
    options.progress = !options.json && ::isatty(STDERR_FILENO) == 1;
    const careful::SplitResult split =
        careful::RunSplit(options, options.json ? nullptr : &std::cout,
                          options.json ? nullptr : &std::cerr, std::cerr);
    if (options.json) {
      std::cout << careful::EnvelopeText(careful::SplitError(split), careful::SplitJson(split))
                << '\n';
    } else if (split.con || split.sin) {
      for (const auto& interno : {split.con, split.sin}) {
        if (interno) careful::PrintCreated(std::cout, *interno);
      }
      careful::PrintReconciliation(std::cout, split);
    }
    return split.status;
  } catch (const std::exception& e) {  // ArgumentError or Refusal: nothing was written
    std::cerr << "oquardelino split: " << e.what() << '\n';
    if (options.json) std::cout << careful::EnvelopeText(careful::RefusalError(e)) << '\n';
    return kExitUsage;
  }
}

}  // namespace

void AddSplitCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<SplitOptions>();
  CLI::App* command = app.add_subcommand(
      "split",
      "Split an interno into its licence-bound part (con LAPI) and its free part (sin LAPI) in "
      "one all-or-nothing run, and reconcile the two with the source");
  AddDatabaseOptions(*command, options->internos, options->ncm, options->source, "split");
  command
      ->add_option("--con", options->con,
                   "The number of the new interno with the items whose position carries the "
                   "licence mark")
      ->required()
      ->type_name("NUMBER");
  command
      ->add_option("--sin", options->sin,
                   "The number of the new interno with the items whose position lacks it")
      ->required()
      ->type_name("NUMBER");
  AddRunOptions(*command, options->date, options->dateSql, options->keepPartial);
  command->add_flag("--number-as-typed", options->numberAsTyped,
                    "Keep blanks before or after --con and --sin (refused otherwise)");
  command->add_flag(
      "--json", options->json,
      "Print one JSON object: version, ok, error (code, message) or null, then status, con "
      "and sin (interno, items, fob), fobdivisas, neither (id, ncm, fob, reason), log, "
      "messages");
  command->footer(
      "Example (on the demo database that 'oquardelino demo' makes):\n"
      "  D=~/.local/share/oquardelino\n"
      "  oquardelino split --internos sqlite:$D/internos.db --ncm sqlite:$D/ncm.db \\\n"
      "                    --source 2024-0101 --con 2024-0101-C --sin 2024-0101-S\n\nExit status: "
      "0 both copies "
      "made; 3 both made but some items are in neither (listed: look at them); 1 a copy failed "
      "or a number was taken (nothing written); 2 refused arguments or a failed check; 130 or "
      "143 interrupted (nothing written).");
  command->callback([options, &exitStatus] { exitStatus = RunSplit(*options); });
}

}  // namespace oq::app
