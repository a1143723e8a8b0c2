// oquardelino setting: reads one value of the per-user settings store, such as the mark the copy
// leaves for every cover sheet it creates (TRELVO PROCESOS <new number> -> SI).
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "commands.h"
#include "platform/settings_store.h"

namespace oq::app {

namespace {

struct SettingOptions {
  std::string appName;
  std::string section;
  std::string key;
};

int ShowSetting(const SettingOptions& options) {
  try {
    const SettingsStore store = SettingsStore::ForCurrentUser();
    const auto value = store.Get(options.appName, options.section, options.key);
    if (!value) return kExitRunFailed;
    std::cout << *value << '\n';
    return kExitOk;
  } catch (const std::exception& e) {
    std::cerr << "oquardelino setting: " << e.what() << '\n';
    return kExitUsage;
  }
}

}  // namespace

void AddSettingCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<SettingOptions>();
  CLI::App* command = app.add_subcommand(
      "setting",
      "Print a value of the per-user settings store ($XDG_CONFIG_HOME/oquardelino/settings.db); "
      "nothing, and exit status 1, when there is none");
  command->add_option("APP", options->appName, "Application, e.g. TRELVO")->required();
  command->add_option("SECTION", options->section, "Section, e.g. PROCESOS")->required();
  command->add_option("KEY", options->key, "Key, e.g. the new interno number")->required();
  command->callback([options, &exitStatus] { exitStatus = ShowSetting(*options); });
}

}  // namespace oq::app
