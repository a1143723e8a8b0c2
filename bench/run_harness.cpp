#include "run_harness.h"

#include <stdexcept>
#include <vector>

#include "bench_db.h"
#include "careful_host/run_guard.h"
#include "connectors/components/host_components.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "dialog/frmMAIN.h"
#include "host/basGLOBAL.h"
#include "host/cMAIN.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "timing.h"

namespace oq::bench {

namespace {

// The boxes of the dialog, as plain texts.
class BenchForm : public CopyForm {
 public:
  std::string text1;
  std::string copias;
  std::string log;

  std::string get_Text1() const override { return text1; }
  std::string get_txtCopias() const override { return copias; }
  void let_txtCopias(const std::string& text) override { copias = text; }
  std::string get_txtLOG() const override { return log; }
  void let_txtLOG(const std::string& text) override { log = text; }
};

// A platform with nobody in front of it: every message box is acknowledged at once.
class QuietPlatform : public PlatformPort {
 public:
  std::vector<std::string> messages;
  int settingsWritten = 0;

  void MsgBox(const std::string& prompt, int /*style*/) override { messages.push_back(prompt); }
  void SetMousePointer(int /*pointer*/) override {}
  void SaveSetting(const std::string&, const std::string&, const std::string&,
                   const std::string&) override {
    ++settingsWritten;
  }
  std::string DecimalSeparator() const override { return "."; }
};

// Forwards to a real connection and notes every statement it is given.
class RecordingConnection : public HostConnection {
 public:
  RecordingConnection(std::shared_ptr<HostConnection> inner, SentStatement::Target target,
                      StatementLog& log)
      : inner_(std::move(inner)), target_(target), log_(log) {}

  void put_sql(const std::string& text) override {
    sql_ = text;
    inner_->put_sql(text);
  }
  Variant crearrs(Variant& recordset) override {
    log_.push_back({target_, SentStatement::Kind::kQuery, sql_});
    return inner_->crearrs(recordset);
  }
  Variant ejecutar() override {
    log_.push_back({target_, SentStatement::Kind::kExec, sql_});
    return inner_->ejecutar();
  }

 private:
  std::shared_ptr<HostConnection> inner_;
  SentStatement::Target target_;
  StatementLog& log_;
  std::string sql_;
};

std::shared_ptr<HostConnection> OpenConnection(const std::filesystem::path& file,
                                               const SqliteSettings& settings) {
  sqlite::OpenOptions options;
  options.journalMode = settings.journalMode;
  options.synchronous = settings.synchronous;
  return sqlite::SqliteConnection::Open(file.string(), options);
}

bool CleanEnd(const std::string& log, int copies) {
  return log == (copies > 1 ? "Procesando...Proceso terminado..." : "Proceso terminado...");
}

}  // namespace

struct RunHarness::Impl {
  BenchForm form;
  QuietPlatform platform;
  CopyRuns runs = CopyRuns::Engine();
  std::unique_ptr<careful::RunGuard> guard;  // in Mode::kTransaction
  cMAIN main;
};

RunHarness::RunHarness(const DatabasePaths& paths, const SqliteSettings& settings,
                       StatementLog* log)
    : RunHarness(RunConnections{OpenConnection(paths.internos, settings),
                                OpenConnection(paths.ncm, settings), nullptr, Dialect::kSqlite},
                 Mode::kAutocommit, log) {}

RunHarness::RunHarness(RunConnections connections, Mode mode, StatementLog* log)
    : impl_(std::make_unique<Impl>()) {
  components::RegisterHostComponents(
      {{"INTERNOS", connections.dialect}, {"NCM", connections.dialect}});
  std::shared_ptr<HostConnection> internos = std::move(connections.internos);
  std::shared_ptr<HostConnection> ncm = std::move(connections.ncm);
  if (log != nullptr) {
    internos =
        std::make_shared<RecordingConnection>(internos, SentStatement::Target::kInternos, *log);
    ncm = std::make_shared<RecordingConnection>(ncm, SentStatement::Target::kNcm, *log);
  }
  if (mode == Mode::kTransaction) {
    // As the copy command does: the guard's connection in place of the internos one, and the
    // runs wrapped, with no settings store to take marks back from and no signal to watch.
    careful::RunGuardHooks hooks;
    hooks.fewerRoundTrips = connections.fewerRoundTrips;
    impl_->guard = std::make_unique<careful::RunGuard>(internos, connections.control, hooks);
    internos = impl_->guard->connection();
    ncm = impl_->guard->Lookups(ncm);
    impl_->runs = impl_->guard->Wrap(std::move(impl_->runs));
  }
  cMAIN& main = impl_->main;
  main.setConexionAInternos(internos);
  main.setConexionANcm(ncm);
  Variant dam = Variant::Object(CreateObject(std::string(identity::kDataAccessManagerProgId)));
  main.GetDataAccessManager(dam);
  main.setFechaActualDeInternos(kFechaActual);
  main.put_Numero_Interno(kSourceInterno);
}

RunHarness::~RunHarness() { basGLOBAL::Reset(); }

Sample RunHarness::Run(CopyOption option, const std::string& newNumber, int copies) {
  BenchForm& form = impl_->form;
  QuietPlatform& platform = impl_->platform;
  form.text1 = newNumber;
  form.copias = std::to_string(copies);
  form.log.clear();
  platform.messages.clear();
  CopyContext ctx{form, platform};

  Stopwatch clock;
  switch (option) {
    case CopyOption::kTodos:
      impl_->runs.todos(ctx);
      break;
    case CopyOption::kConLAPI:
      impl_->runs.conLAPI(ctx);
      break;
    case CopyOption::kSinLAPI:
      impl_->runs.sinLAPI(ctx);
      break;
  }
  const Sample time = clock.Elapsed();
  if (impl_->guard && !impl_->guard->lastOutcome()->kept) {
    throw std::runtime_error("the copy run of " + newNumber +
                             " was rolled back: " + impl_->guard->lastOutcome()->fault);
  }

  const bool onlyEndMessage =
      platform.messages.size() == 1 && platform.messages.front() == "Fin del Proceso";
  if (!onlyEndMessage || !CleanEnd(form.log, option == CopyOption::kTodos ? copies : 1)) {
    std::string shown;
    for (const std::string& message : platform.messages) shown += "\n  box: " + message;
    throw std::runtime_error("the copy run of " + newNumber +
                             " did not end cleanly; log: " + form.log + shown);
  }
  return time;
}

}  // namespace oq::bench
