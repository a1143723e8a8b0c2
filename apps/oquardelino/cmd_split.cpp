// oquardelino split: the licence-bound and the free part of an interno in one step. It makes the
// con-LAPI copy and the sin-LAPI copy as two F11 runs in one transaction, then reconciles them:
// their FOB totals against the source's, and every item that neither copy took, with the reason.
#include <unistd.h>

#include <exception>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "commands.h"
#include "copy_arguments.h"
#include "copy_session.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "interrupts.h"
#include "main_session.h"
#include "platform/regional_settings.h"
#include "preflight.h"
#include "preview.h"
#include "preview_output.h"

namespace oq::app {

namespace {

struct SplitOptions : SessionValues {
  std::string internos;
  std::string ncm;
  std::string con;
  std::string sin;
  std::optional<std::string> dateSql;
  bool keepPartial = false;
  bool json = false;
};

struct Reconciliation {
  const CreatedInterno* con = nullptr;
  const CreatedInterno* sin = nullptr;
};

const CreatedInterno* Find(const std::vector<CreatedInterno>& created, const std::string& number) {
  for (const CreatedInterno& interno : created) {
    if (interno.interno == number) return &interno;
  }
  return nullptr;
}

void PrintReconciliation(const Preview& preview, const Reconciliation& made, std::ostream& out) {
  const double con = made.con ? made.con->fob : 0, sin = made.sin ? made.sin->fob : 0;
  out << "FOB con " << FobText(con) << " + FOB sin " << FobText(sin) << " = " << FobText(con + sin)
      << "; source fobdivisas " << SourceFobShown(preview) << '\n';
  if (preview.neither.items == 0) {
    out << "Every item is in one of the two copies.\n";
    return;
  }
  out << preview.neither.items << " items in neither copy, FOB " << FobText(preview.neither.fob)
      << ":\n";
  for (const PreviewItem& item : preview.items) {
    if (item.conKeeps || item.sinKeeps) continue;
    out << "  item " << item.id << " (ncm '" << item.ncm << "', FOB " << FobText(item.fob)
        << "): " << WhyNeither(item) << '\n';
  }
}

nlohmann::ordered_json SplitJson(const Preview& preview, const Reconciliation& made,
                                 const CopyResult& result, int status) {
  const auto copy = [](const CreatedInterno* interno) {
    return interno ? nlohmann::ordered_json{{"interno", interno->interno},
                                            {"items", interno->items},
                                            {"fob", interno->fob}}
                   : nlohmann::ordered_json();
  };
  nlohmann::ordered_json out;
  out["status"] = status;
  out["con"] = copy(made.con);
  out["sin"] = copy(made.sin);
  out["fobdivisas"] = FobdivisasJson(preview);
  out["neither"] = nlohmann::ordered_json::array();
  for (const PreviewItem& item : preview.items) {
    if (item.conKeeps || item.sinKeeps) continue;
    out["neither"].push_back(
        {{"id", item.id}, {"ncm", item.ncm}, {"fob", item.fob}, {"reason", WhyNeither(item)}});
  }
  out["log"] = result.log;
  out["messages"] = nlohmann::ordered_json::array();
  for (const auto& box : result.messages) {
    out["messages"].push_back({{"style", box.style}, {"prompt", box.prompt}});
  }
  return out;
}

int Refuse(const SplitOptions& options, const std::string& message) {
  std::cerr << "oquardelino split: " << message << '\n';
  if (options.json) std::cout << nlohmann::json{{"error", message}}.dump() << '\n';
  return kExitUsage;
}

int RunSplit(SplitOptions options) {
  const std::string ncmUrl = options.ncm.empty() ? options.internos : options.ncm;
  SessionDatabases databases;
  Preview preview;
  try {
    CheckNewNumber(options.con, std::nullopt);
    CheckNewNumber(options.sin, std::nullopt);
    if (options.con == options.sin) throw ArgumentError("--con and --sin must be two numbers");
    if (options.date) options.date = DateLiteral(*options.date);
    if (options.dateSql) options.date = *options.dateSql;
    OpenDatabases(databases, options.internos, ncmUrl);
    RegisterComponentsFor(options.internos, ncmUrl);
    PrepareDatabases(databases, [](const std::string& line) {
      std::cerr << "oquardelino split: " << line << '\n';
    });
    CheckInternosTables(*databases.internos, options.internos);
    CheckNcmTable(*databases.ncm, ncmUrl);
    CheckSourceExists(*databases.internos, options.source, options.internos);
    if (options.dateSql)
      CheckDateExpression(*databases.internos, *options.dateSql, options.internos);
    CheckWritable(*databases.internos, options.internos);
    const ObjectRef dam = CreateObject(std::string(identity::kDataAccessManagerProgId));
    preview =
        BuildPreview(*databases.internos, *databases.ncm, dynamic_cast<DataAccessManager&>(*dam),
                     options.source, UserDecimalSeparator());
  } catch (const std::exception& e) {
    return Refuse(options, e.what());
  }

  CopyRequest request;
  static_cast<SessionValues&>(request) = options;
  request.newNumber = options.con;
  request.option = "con-lapi";
  request.keepPartial = options.keepPartial;
  request.progress = !options.json && ::isatty(STDERR_FILENO) == 1;
  request.morePresses = {{"sin-lapi", options.sin}};
  request.command = "split";
  InstallInterruptHandlers();
  auto* control = dynamic_cast<connectors::TransactionControl*>(databases.internos.get());
  const CopyResult result =
      RunCopySession(databases, control, request, options.json ? nullptr : &std::cout,
                     options.json ? nullptr : &std::cerr, std::cerr);

  const Reconciliation made{Find(result.created, options.con), Find(result.created, options.sin)};
  int status = result.status;
  if (status == kExitOk && preview.neither.items > 0) status = kExitItemsLeftOut;
  if (options.json) {
    std::cout << SplitJson(preview, made, result, status)
                     .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << '\n';
  } else if (made.con != nullptr || made.sin != nullptr) {
    for (const CreatedInterno* interno : {made.con, made.sin}) {
      if (interno == nullptr) continue;
      std::cout << "created " << interno->interno << ": " << interno->items << " items, FOB "
                << FobText(interno->fob) << '\n';
    }
    PrintReconciliation(preview, made, std::cout);
  }
  return status;
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
  command->add_flag(
      "--json", options->json,
      "Print one JSON object: status, con and sin (interno, items, fob), "
      "fobdivisas, neither (id, ncm, fob, reason), log, messages; error when refused");
  command->footer(
      "Example: oquardelino split --internos sqlite:$D/internos.db --ncm sqlite:$D/ncm.db "
      "--source 2024-0101 --con 2024-0101-C --sin 2024-0101-S\n\nExit status: 0 both copies "
      "made; 3 both made but some items are in neither (listed: look at them); 1 a copy failed "
      "or a number was taken (nothing written); 2 refused arguments or a failed check; 130 or "
      "143 interrupted (nothing written).");
  command->callback([options, &exitStatus] { exitStatus = RunSplit(*options); });
}

}  // namespace oq::app
