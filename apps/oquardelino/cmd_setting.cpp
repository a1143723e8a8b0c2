// oquardelino setting: reads one value of the per-user settings store, such as the mark the copy
// leaves for every cover sheet it creates (TRELVO PROCESOS <new number> -> SI).
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "careful_host/json_envelope.h"
#include "commands.h"
#include "platform/settings_store.h"

namespace oq::app {

namespace {

struct SettingOptions {
  std::string appName;
  std::string section;
  std::string key;
  bool json = false;
};

int ShowSetting(const SettingOptions& options) {
  using careful::CommandError;
  std::optional<std::string> value;
  std::optional<CommandError> error;
  try {
    value = SettingsStore::ForCurrentUser().Get(options.appName, options.section, options.key);
    if (!value) error = CommandError{careful::error_code::kNotFound, "no such value"};
  } catch (const std::exception& e) {
    error = careful::RefusalError(e);
    std::cerr << "oquardelino setting: " << e.what() << '\n';
  }
  if (options.json) {
    nlohmann::ordered_json fields;
    fields["app"] = options.appName;
    fields["section"] = options.section;
    fields["key"] = options.key;
    fields["value"] = value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json();
    std::cout << careful::EnvelopeText(error, fields) << '\n';
  } else if (value) {
    std::cout << *value << '\n';
  }
  if (!error) return kExitOk;
  return error->code == careful::error_code::kNotFound ? kExitRunFailed : kExitUsage;
}

}  // namespace

void AddSettingCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<SettingOptions>();
  CLI::App* command = app.add_subcommand(
      "setting",
      "Print a value of your per-user settings store, such as the mark that a copy leaves for "
      "every interno it creates");
  command->add_option("APP", options->appName, "Application, e.g. TRELVO")->required();
  command->add_option("SECTION", options->section, "Section, e.g. PROCESOS")->required();
  command->add_option("KEY", options->key, "Key, e.g. the new interno number")->required();
  command->add_flag("--json", options->json,
                    "Print one JSON object: app, section, key and value (null when missing)");
  command->footer(
      "Names are found whatever their case. Example: oquardelino setting TRELVO PROCESOS 2024-0901 "
      "(prints SI)\n\nExit status: 0 printed; 1 no such value (nothing printed); 2 the store "
      "cannot be read.");
  command->callback([options, &exitStatus] { exitStatus = ShowSetting(*options); });
}

}  // namespace oq::app
