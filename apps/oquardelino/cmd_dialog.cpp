// oquardelino dialog: a host that shows the copy dialog. It opens the databases (by default the
// demo databases, created when missing), hands them to cMAIN with the other session values and
// calls Mostrar, which returns when the user presses ESC. With --screenshot it draws the dialog
// as it looks after start-up into a PNG instead, with no display needed.
#include <QApplication>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "careful_host/connection_url.h"
#include "careful_host/qt/dialog_session.h"
#include "careful_host/request_checks.h"
#include "cli_options.h"
#include "commands.h"
#include "demo/demo_data.h"
#include "demo/demo_files.h"
#include "demo/demo_paths.h"
#include "display_check.h"
#include "host/failure.h"

namespace oq::app {

namespace {

struct DialogOptions : careful::DialogRequest {
  std::string internos;
  std::string ncm;
};

void QuietQtStartup(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const bool noise =
      type == QtDebugMsg || type == QtInfoMsg ||
      (type == QtWarningMsg &&
       (message.startsWith(QStringLiteral("QStandardPaths: ")) ||
        QString::fromLatin1(context.category).startsWith(QStringLiteral("qt.qpa."))));
  if (!noise) std::cerr << qPrintable(qFormatLogMessage(type, context, message)) << '\n';
}

// Fills in the demo databases (creating them when missing) and the demo's first interno for what
// the command line leaves out.
void UseDemoWhereUnset(DialogOptions& options) {
  if (!options.internos.empty()) {
    if (options.ncm.empty()) options.ncm = options.internos;
    return;
  }
  const std::filesystem::path internos = demo::DefaultInternosPath();
  const std::filesystem::path ncm = demo::DefaultNcmPath();
  if (!std::filesystem::exists(internos) || !std::filesystem::exists(ncm)) {
    std::cerr << "oquardelino dialog: creating the demo databases in "
              << demo::DefaultDataFolder().string() << "\n";
    demo::CreateDemoFiles(demo::DefaultDataFolder(), /*overwrite=*/true,
                          [](const std::filesystem::path& path) {
                            return careful::OpenConnection(careful::SqliteUrl(path), true);
                          });
  }
  options.internos = careful::SqliteUrl(internos);
  if (options.ncm.empty()) options.ncm = careful::SqliteUrl(ncm);
  if (options.source.empty()) options.source = std::string(demo::DemoInternos().front().numero);
}

void PrintHeadlessAlternative(const DialogOptions& options, const std::string& why) {
  std::cerr << "oquardelino dialog: there is no display to open the copy dialog on (" << why
            << ").\n"
            << "Make the same copy without a window, for instance:\n"
            << "  oquardelino copy --internos '" << options.internos << "' --ncm '" << options.ncm
            << "' --source '" << options.source << "' --new '" << options.source
            << "-COPIA' --copies 1 --option todos\n"
            << "or draw the dialog into a picture: oquardelino dialog --screenshot dialog.png\n";
}

int RunDialog(DialogOptions options) {
  const bool screenshot = !options.screenshot.empty();
  try {
    if (options.date) options.date = careful::DateLiteral(*options.date);
    if (options.dateSql) options.date = *options.dateSql;
    UseDemoWhereUnset(options);
    careful::DialectOf(options.internos);  // an unknown scheme is refused before anything opens
    careful::DialectOf(options.ncm);
    if (options.source.empty()) {
      std::cerr << "oquardelino dialog: --source is needed with --internos\n";
      return kExitUsage;
    }
  } catch (const std::exception& e) {
    std::cerr << "oquardelino dialog: " << e.what() << "\n";
    return kExitUsage;
  }
  std::string why;
  if (!screenshot && !DisplayUsable(why)) {
    PrintHeadlessAlternative(options, why);
    return kExitUsage;
  }
  // The picture is drawn the same way everywhere, with or without a display.
  if (screenshot) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

  static int argc = 1;
  static char name[] = "oquardelino";
  static char* argv[] = {name, nullptr};
  // The toolkit's start-up notes (a runtime folder it made up, a missing input method) are not
  // the user's business; OQ_QT_MESSAGES=1 shows them.
  if (std::getenv("OQ_QT_MESSAGES") == nullptr) qInstallMessageHandler(QuietQtStartup);
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("oQUARDELINO"));
  QApplication::setStyle(QStringLiteral("Fusion"));
  options.internosUrl = options.internos;
  options.ncmUrl = options.ncm;
  try {
    // The databases open only now, once a window or a picture is sure to follow.
    const int status = careful::RunDialogSession(options, [](const std::string& line) {
      std::cerr << "oquardelino dialog: " << line << '\n';
    });
    if (screenshot) std::cout << "Wrote " << options.screenshot << " (348 x 322 pixels)\n";
    return status;
  } catch (const Failure& failure) {
    std::cerr << "oquardelino dialog: " << failure.number() << " - " << failure.description()
              << " (" << failure.source() << ")\n";
    return kExitRunFailed;
  } catch (const std::exception& e) {
    std::cerr << "oquardelino dialog: " << e.what() << "\n";
    return kExitUsage;
  }
}

}  // namespace

void AddDialogCommand(CLI::App& app, int& exitStatus) {
  auto options = std::make_shared<DialogOptions>();
  CLI::App* command = app.add_subcommand(
      "dialog", "Open the copy dialog (F11 copies, ESC closes) on the demo or a named database");
  command
      ->add_option("--internos", options->internos,
                   "The database that holds the internos: sqlite:PATH or postgresql://... "
                   "(default: the demo database, created when missing)")
      ->type_name("URL");
  command
      ->add_option("--ncm", options->ncm,
                   "The database with the tariff table ncm (default: the --internos database)")
      ->type_name("URL");
  command
      ->add_option("--source", options->source,
                   "The interno to copy (default with the demo: its first interno)")
      ->type_name("NUMBER");
  AddRunOptions(*command, options->date, options->dateSql, options->keepPartial);
  command
      ->add_option("--max-length", options->maxLength,
                   "The longest new number the dialog accepts, in characters (default 40)")
      ->type_name("N");
  command->add_flag("--preview", options->preview,
                    "First show, item by item, what the licence-filtered copies would keep (read "
                    "only); the copy dialog opens when that window is closed");
  command
      ->add_option("--screenshot", options->screenshot,
                   "Draw the dialog as it looks after start-up into this PNG (348 x 322) and "
                   "exit; needs no display")
      ->type_name("FILE.png");
  command->footer(
      "Example: oquardelino dialog      (the demo database; type a new number, F11 copies, ESC "
      "closes)\n\nExit status: 0 closed normally; 1 the component failed; 2 refused arguments, a "
      "failed check or no display; 130 or 143 interrupted during a copy (nothing "
      "written).");
  command->callback([options, &exitStatus] { exitStatus = RunDialog(*options); });
}

}  // namespace oq::app
