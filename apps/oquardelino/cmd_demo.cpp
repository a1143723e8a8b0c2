// oquardelino demo: creates the demo database of internos and the NCM database.
#include <exception>
#include <iostream>
#include <string>

#include "careful_host/connection_url.h"
#include "commands.h"
#include "demo/demo_data.h"
#include "demo/demo_databases.h"
#include "demo/demo_files.h"
#include "demo/demo_paths.h"

namespace oq::app {

namespace {

struct DemoOptions {
  std::string dir;
  bool force = false;
  std::string internosUrl;  // both set, or neither
  std::string ncmUrl;
};

void PrintDemoInternos() {
  std::cout << "Internos in the demo:\n";
  for (const demo::DemoInterno& interno : demo::DemoInternos()) {
    std::cout << "  " << interno.numero << "  " << interno.shows << "\n";
  }
}

// The demo tables in databases the user names by URL, such as a PostgreSQL server's: each is
// written in the dialect of its own engine.
int RunDemoInDatabases(const DemoOptions& options) {
  try {
    auto internos = careful::OpenConnection(options.internosUrl, true);
    auto ncm = careful::OpenConnection(options.ncmUrl, true);
    demo::CreateDemoDatabases(*internos, careful::DialectOf(options.internosUrl), *ncm,
                              careful::DialectOf(options.ncmUrl), options.force);
    std::cout << "Demo tables written:\n"
              << "  internos: " << options.internosUrl << "\n"
              << "  ncm:      " << options.ncmUrl << "\n";
    PrintDemoInternos();
    return kExitOk;
  } catch (const std::exception& e) {
    std::cerr << "oquardelino demo: " << e.what() << "\n";
    return kExitUsage;
  }
}

int RunDemo(const DemoOptions& options) {
  try {
    // Absolute, so that the printed URLs work from any folder.
    const std::filesystem::path folder = std::filesystem::absolute(
        options.dir.empty() ? demo::DefaultDataFolder() : std::filesystem::path(options.dir));
    const demo::DemoFiles files =
        demo::CreateDemoFiles(folder, options.force, [](const std::filesystem::path& path) {
          return careful::OpenConnection(careful::SqliteUrl(path), true);
        });
    std::cout << "Demo databases written:\n"
              << "  internos: " << careful::SqliteUrl(files.internos) << "\n"
              << "  ncm:      " << careful::SqliteUrl(files.ncm) << "\n";
    PrintDemoInternos();
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
  command->add_flag(
      "--force", options->force,
      "Replace demo databases (with --internos/--ncm: demo tables) that an earlier demo made; "
      "any other database is refused");
  CLI::Option* internos =
      command
          ->add_option("--internos", options->internosUrl,
                       "Write the demo tables caratula, facturas and subitems into this existing "
                       "database instead (sqlite:PATH or postgresql://...)")
          ->type_name("URL");
  CLI::Option* ncm = command
                         ->add_option("--ncm", options->ncmUrl,
                                      "Write the demo table ncm into this existing database")
                         ->type_name("URL");
  internos->needs(ncm);
  ncm->needs(internos);
  internos->excludes("--dir");
  ncm->excludes("--dir");
  command->footer(
      "Example: oquardelino demo      (then try: oquardelino copy --help)\n\nExit status: 0 "
      "written; 2 refused (the files exist, or a database the demo did not make).");
  command->callback([options, &exitStatus] {
    exitStatus = options->internosUrl.empty() ? RunDemo(*options) : RunDemoInDatabases(*options);
  });
}

}  // namespace oq::app
