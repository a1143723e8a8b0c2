// oquardelino preview: what each licence-filtered copy of an interno would keep, item by item,
// decided by the copy's own lookup, with nothing written (the databases are opened read only).
#include <iostream>
#include <memory>
#include <string>

#include "careful_host/json_envelope.h"
#include "careful_host/preview.h"
#include "careful_host/preview_output.h"
#include "careful_host/reports.h"
#include "cli_options.h"
#include "commands.h"

namespace oq::app {

namespace {

struct PreviewOptions {
  std::string internos;
  std::string ncm;
  std::string source;
  std::string option = "todos";
  bool json = false;
};

int RunPreview(const PreviewOptions& options) {
  try {
    const careful::Preview preview = careful::ReadPreview(
        options.internos, options.ncm.empty() ? options.internos : options.ncm, options.source,
        [](const std::string& line) { std::cerr << "oquardelino preview: " << line << '\n'; });
    if (options.json) {
      std::cout << careful::EnvelopeText(std::nullopt,
                                         careful::PreviewJson(preview, options.option))
                << '\n';
    } else {
      careful::PrintPreview(std::cout, preview, options.option);
    }
    return kExitOk;
  } catch (const std::exception& e) {
    std::cerr << "oquardelino preview: " << e.what() << '\n';
    if (options.json) std::cout << careful::EnvelopeText(careful::RefusalError(e)) << '\n';
    return kExitUsage;
  }
}

}  // namespace

void AddPreviewCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<PreviewOptions>();
  CLI::App* command = app.add_subcommand(
      "preview",
      "Show, item by item, what the licence-filtered copies of an interno would keep, without "
      "writing anything");
  AddDatabaseOptions(*command, options->internos, options->ncm, options->source, "look at");
  command
      ->add_option("--option", options->option,
                   "con-lapi / sin-lapi: list only the items that copy keeps; todos: every item")
      ->check(CLI::IsMember({"todos", "con-lapi", "sin-lapi"}))
      ->capture_default_str();
  command->add_flag(
      "--json", options->json,
      "Print one JSON object: version, ok, error (code, message) or null, then source, items "
      "(id, ncm, position, suffix, mark, fob, con, sin), con, sin and neither (items, fob), "
      "fobdivisas");
  command->footer(
      "Example (on the demo database that 'oquardelino demo' makes):\n"
      "  D=~/.local/share/oquardelino\n"
      "  oquardelino preview --internos sqlite:$D/internos.db --ncm sqlite:$D/ncm.db "
      "--source 2024-0101\n\nExit status: 0 shown; 2 refused arguments or a failed check.");
  command->callback([options, &exitStatus] { exitStatus = RunPreview(*options); });
}

}  // namespace oq::app
