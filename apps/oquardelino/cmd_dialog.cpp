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
#include <optional>
#include <string>

#include "app_paths.h"
#include "commands.h"
#include "connection_url.h"
#include "copy_arguments.h"
#include "copy_session.h"
#include "demo/demo_data.h"
#include "demo/demo_files.h"
#include "dialog/frmMAIN.h"
#include "display_check.h"
#include "guarded_dialog.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "interrupts.h"
#include "main_session.h"
#include "platform/qt/qt_forms.h"
#include "platform/qt/qt_platform_port.h"
#include "platform/qt/screenshot.h"
#include "platform/regional_settings.h"
#include "preflight.h"
#include "preview.h"
#include "preview_window.h"
#include "run_guard.h"

namespace oq::app {

namespace {

struct DialogOptions : SessionValues {
  std::string internos;
  std::string ncm;
  std::string screenshot;
  std::optional<std::string> dateSql;
  bool keepPartial = false;
  bool preview = false;
};

void QuietQtStartup(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const bool noise =
      type == QtDebugMsg || type == QtInfoMsg ||
      (type == QtWarningMsg &&
       (message.startsWith(QStringLiteral("QStandardPaths: ")) ||
        QString::fromLatin1(context.category).startsWith(QStringLiteral("qt.qpa."))));
  if (!noise) std::cerr << qPrintable(qFormatLogMessage(type, context, message)) << '\n';
}

// The read-only preview of what each licence-filtered copy keeps, before the copy dialog opens.
void ShowPreview(const SessionDatabases& databases, const DialogOptions& options) {
  CheckNcmTable(*databases.ncm, options.ncm);
  const ObjectRef dam = CreateObject(std::string(identity::kDataAccessManagerProgId));
  PreviewWindow window(BuildPreview(*databases.internos, *databases.ncm,
                                    dynamic_cast<DataAccessManager&>(*dam), options.source,
                                    UserDecimalSeparator()));
  window.exec();
}

// Fills in the demo databases (creating them when missing) and the demo's first interno for what
// the command line leaves out.
void UseDemoWhereUnset(DialogOptions& options) {
  if (!options.internos.empty()) {
    if (options.ncm.empty()) options.ncm = options.internos;
    return;
  }
  const std::filesystem::path internos = DefaultInternosPath();
  const std::filesystem::path ncm = DefaultNcmPath();
  if (!std::filesystem::exists(internos) || !std::filesystem::exists(ncm)) {
    std::cerr << "oquardelino dialog: creating the demo databases in "
              << DefaultDataFolder().string() << "\n";
    demo::CreateDemoFiles(
        DefaultDataFolder(), /*overwrite=*/true,
        [](const std::filesystem::path& path) { return OpenConnection(SqliteUrl(path), true); });
  }
  options.internos = SqliteUrl(internos);
  if (options.ncm.empty()) options.ncm = SqliteUrl(ncm);
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
    if (options.date) options.date = DateLiteral(*options.date);
    if (options.dateSql) options.date = *options.dateSql;
    UseDemoWhereUnset(options);
    if (options.source.empty()) {
      std::cerr << "oquardelino dialog: --source is needed with --internos\n";
      return kExitUsage;
    }
    RegisterComponentsFor(options.internos, options.ncm);
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

  int status = kExitOk;
  std::unique_ptr<RunGuard> guard;
  try {
    cMAIN main;
    // The databases open only now, once a window or a picture is sure to follow.
    SessionDatabases databases;
    OpenDatabases(databases, options.internos, options.ncm);
    auto say = [](const std::string& line) { std::cerr << "oquardelino dialog: " << line << '\n'; };
    PrepareDatabases(databases, say);
    CheckInternosTables(*databases.internos, options.internos);
    CheckSourceExists(*databases.internos, options.source, options.internos);
    if (options.dateSql)
      CheckDateExpression(*databases.internos, *options.dateSql, options.internos);
    // Interruptions wait only while a run writes: with a box on screen the transaction has ended
    // and the program may go at once.
    guard = MakeProgramRunGuard(
        databases.internos,
        options.keepPartial
            ? nullptr
            : dynamic_cast<connectors::TransactionControl*>(databases.internos.get()),
        say, SpanWhileWriting());
    if (databases.ncm == databases.internos) databases.ncm = guard->connection();
    databases.internos = guard->connection();
    HandSessionToMain(main, databases, options);
    if (screenshot) {
      frmMAIN form(std::make_shared<qt::QtPlatformPort>(), nullptr);
      form.Load();
      qt::SaveScreenshot(form, options.screenshot);
      std::cout << "Wrote " << options.screenshot << " (348 x 322 pixels)\n";
    } else {
      if (options.preview) ShowPreview(databases, options);
      InstallInterruptHandlers();
      InstallGuardedQtForm(*guard);
      main.Mostrar();
      if (guard->lastOutcome() && guard->lastOutcome()->signal != 0) {
        status = 128 + guard->lastOutcome()->signal;
      }
    }
  } catch (const Failure& failure) {
    std::cerr << "oquardelino dialog: " << failure.number() << " - " << failure.description()
              << " (" << failure.source() << ")\n";
    status = kExitRunFailed;
  } catch (const std::exception& e) {
    std::cerr << "oquardelino dialog: " << e.what() << "\n";
    status = kExitUsage;
  }
  // The session holds the connections and the form: release them while Qt is still up, and
  // before the guard they run through.
  SetMainFormFactory({});
  basGLOBAL::Reset();
  guard.reset();
  return status;
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
