// oquardelino demo: creates the demo database of internos and the NCM database.
#include <exception>
#include <iostream>
#include <string>

#include "app_paths.h"
#include "commands.h"
#include "connection_url.h"
#include "demo/demo_data.h"
#include "demo/demo_files.h"

namespace oq::app {

namespace {

struct DemoOptions {
  std::string dir;
  bool force = false;
};

int RunDemo(const DemoOptions& options) {
  try {
    // Absolute, so that the printed URLs work from any folder.
    const std::filesystem::path folder = std::filesystem::absolute(
        options.dir.empty() ? DefaultDataFolder() : std::filesystem::path(options.dir));
    const demo::DemoFiles files = demo::CreateDemoFiles(
        folder, options.force,
        [](const std::filesystem::path& path) { return OpenConnection(SqliteUrl(path), true); });
    std::cout << "Demo databases written:\n"
              << "  internos: " << SqliteUrl(files.internos) << "\n"
              << "  ncm:      " << SqliteUrl(files.ncm) << "\n"
              << "Internos in the demo:\n";
    for (const demo::DemoInterno& interno : demo::DemoInternos()) {
      std::cout << "  " << interno.numero << "  " << interno.shows << "\n";
    }
    std::cout << "Open them with the sqlite3 shell, e.g.: sqlite3 " << files.internos.string()
              << "\n";
    return kExitOk;
  } catch (const std::exception& e) {
    std::cerr << "oquardelino demo: " << e.what() << "\n";
    return kExitUsage;
  }
}

}  // namespace

void AddDemoCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<DemoOptions>();
  CLI::App* command = app.add_subcommand(
      "demo",
      "Create a demo database of internos (internos.db) and an NCM database (ncm.db) in SQLite");
  command
      ->add_option("--dir", options->dir,
                   "Folder for the two files (default: $XDG_DATA_HOME/oquardelino or "
                   "~/.local/share/oquardelino)")
      ->type_name("DIR");
  command->add_flag("--force", options->force, "Replace demo databases that already exist");
  command->callback([options, &exitStatus] { exitStatus = RunDemo(*options); });
}

}  // namespace oq::app
