#include "run_guard.h"

#include <signal.h>
#include <string.h>

#include <string_view>
#include <utility>
#include <vector>

#include "engine/conversions.h"
#include "host/failure.h"

namespace oq::app {

namespace {

constexpr std::string_view kExistencePrefix = "select interno from caratula where interno = '";

// The number an existence check asks about, or nothing for any other statement. The component
// writes the number between quotes with each quote doubled.
std::optional<std::string> CheckedNumber(const std::string& sql) {
  if (!sql.starts_with(kExistencePrefix) || !sql.ends_with('\'') ||
      sql.size() < kExistencePrefix.size() + 1) {
    return std::nullopt;
  }
  const std::string_view quoted = std::string_view(sql).substr(
      kExistencePrefix.size(), sql.size() - kExistencePrefix.size() - 1);
  return rt::Replace(quoted, "''", "'");
}

struct Mark {
  std::string appName, section, key, value;
};

// What one run did that decides its fate.
struct RunWatch {
  std::optional<std::string> fault;
  int signal = 0;
  std::vector<std::string> freeNumbers;
  // In a batch the runs stand or fall together: a number found taken fails them all.
  bool takenIsFault = false;
  void Fault(std::string why) {
    if (!fault) fault = std::move(why);
  }
};

}  // namespace

// The component's connection: every statement passes here, so a refused one, a lost connection
// and an interruption are all seen, and the existence check of a number locks it first.
class GuardedConnection : public HostConnection {
 public:
  GuardedConnection(std::shared_ptr<HostConnection> inner, connectors::TransactionControl* control,
                    RunGuard::PendingSignal pendingSignal)
      : inner_(std::move(inner)), control_(control), pendingSignal_(std::move(pendingSignal)) {}

  void Watch(RunWatch* watch) { watch_ = watch; }
  void Observe(std::function<void(const std::string&, const Variant&)> observer) {
    observer_ = std::move(observer);
  }

  void put_sql(const std::string& text) override {
    sql_ = text;
    inner_->put_sql(text);
  }
  Variant crearrs(Variant& recordset) override {
    return Guarded([&] {
      const auto number = CheckedNumber(sql_);
      if (number && control_ != nullptr && watch_ != nullptr) control_->LockNumber(*number);
      Variant found = inner_->crearrs(recordset);
      if (number && watch_ != nullptr && !found.isTrue()) watch_->freeNumbers.push_back(*number);
      if (number && watch_ != nullptr && found.isTrue() && watch_->takenIsFault) {
        watch_->Fault("the number " + *number + " is taken");
      }
      return found;
    });
  }
  Variant ejecutar() override {
    return Guarded([&] { return inner_->ejecutar(); });
  }

 private:
  template <typename Call>
  Variant Guarded(Call call) {
    if (watch_ != nullptr && pendingSignal_) {
      if (const int signal = pendingSignal_(); signal != 0) throw RunInterrupted(signal);
    }
    try {
      Variant result = call();
      if (observer_) observer_(sql_, result);
      return result;
    } catch (const Failure& failure) {
      if (watch_ != nullptr) watch_->Fault("a statement failed: " + failure.description());
      throw;
    }
  }

  std::shared_ptr<HostConnection> inner_;
  connectors::TransactionControl* control_;
  RunGuard::PendingSignal pendingSignal_;
  RunWatch* watch_ = nullptr;
  std::function<void(const std::string&, const Variant&)> observer_;
  std::string sql_;
};

namespace {

// The run's platform: boxes go through (a failure box is a fault) and marks are held back until
// the run is known to be kept.
class WatchingPlatform : public PlatformPort {
 public:
  WatchingPlatform(PlatformPort& inner, RunWatch& watch, bool holdMarks)
      : inner_(inner), watch_(watch), holdMarks_(holdMarks) {}

  void MsgBox(const std::string& prompt, int style) override {
    if (style == vbCritical || style == vbOKOnly) watch_.Fault("the copy reported a failure");
    inner_.MsgBox(prompt, style);
  }
  void SetMousePointer(int pointer) override { inner_.SetMousePointer(pointer); }
  void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                   const std::string& value) override {
    if (holdMarks_) {
      marks_.push_back({appName, section, key, value});
    } else {
      inner_.SaveSetting(appName, section, key, value);
    }
  }
  std::string DecimalSeparator() const override { return inner_.DecimalSeparator(); }

  const std::vector<Mark>& marks() const { return marks_; }

 private:
  PlatformPort& inner_;
  RunWatch& watch_;
  bool holdMarks_;
  std::vector<Mark> marks_;
};

// The run's form: every log text passes here, including lines a later copy's "Procesando..."
// replaces.
class WatchingForm : public CopyForm {
 public:
  WatchingForm(CopyForm& inner, RunWatch& watch) : inner_(inner), watch_(watch) {}

  std::string get_Text1() const override { return inner_.get_Text1(); }
  std::string get_txtCopias() const override { return inner_.get_txtCopias(); }
  void let_txtCopias(const std::string& text) override { inner_.let_txtCopias(text); }
  std::string get_txtLOG() const override { return inner_.get_txtLOG(); }
  void let_txtLOG(const std::string& text) override {
    if (text.find("Error en agregar") != std::string::npos) {
      watch_.Fault("a copy step failed (\"Error en agregar\" in the log)");
    }
    inner_.let_txtLOG(text);
  }

 private:
  CopyForm& inner_;
  RunWatch& watch_;
};

}  // namespace

struct RunGuard::Impl {
  std::shared_ptr<GuardedConnection> connection;
  connectors::TransactionControl* control = nullptr;
  RemoveSetting removeSetting;
  PendingSignal pendingSignal;
  std::function<void(const std::string&, CopyContext*)> onDiscarded;
  std::optional<RunOutcome> last;
  // Several runs in one transaction: open from the first run to FinishBatch.
  bool batch = false;
  bool batchOpen = false;
  bool batchFailed = false;
  std::vector<Mark> batchMarks;
  std::vector<std::string> batchFree;
  PlatformPort* batchPlatform = nullptr;

  void Discard(RunOutcome outcome, CopyContext* ctx) {
    last = std::move(outcome);
    if (onDiscarded) onDiscarded(DiscardedLine(*last), ctx);
  }
  void Run(const std::function<void(CopyContext&)>& run, CopyContext& ctx);
  // Writes the held marks, then commits; on any refusal takes the marks back and rolls back.
  void Keep(const std::vector<Mark>& marks, PlatformPort& platform, RunWatch& watch);
};

void RunGuard::Impl::Run(const std::function<void(CopyContext&)>& run, CopyContext& ctx) {
  RunWatch watch;
  watch.takenIsFault = batch;
  WatchingPlatform platform(ctx.platform, watch, control != nullptr);
  WatchingForm form(ctx.form, watch);
  CopyContext guarded{form, platform};
  std::exception_ptr escaped;

  if (control != nullptr && batchFailed) {
    return Discard({false, "an earlier run of the same transaction failed", 0, {}}, &ctx);
  }
  if (control != nullptr && !batchOpen) {
    try {
      control->BeginRun();
    } catch (const Failure& failure) {
      return Discard({false, "the run could not start: " + failure.description(), 0, {}}, &ctx);
    }
    batchOpen = batch;
  }
  connection->Watch(&watch);
  try {
    run(guarded);
  } catch (const RunInterrupted& interrupted) {
    watch.signal = interrupted.signal();
    // The run stopped between two statements: the busy pointer it may have set is still shown.
    ctx.platform.SetMousePointer(vbArrow);
  } catch (...) {
    watch.Fault("the run ended abnormally");
    escaped = std::current_exception();
  }
  connection->Watch(nullptr);
  if (watch.signal == 0 && pendingSignal) watch.signal = pendingSignal();

  RunOutcome outcome;
  if (control != nullptr) {
    if (watch.signal != 0 || watch.fault) {
      control->RollbackRun();
      batchFailed = batch;
      batchOpen = false;
    } else if (batch) {
      batchMarks.insert(batchMarks.end(), platform.marks().begin(), platform.marks().end());
      batchPlatform = &ctx.platform;
    } else {
      Keep(platform.marks(), ctx.platform, watch);
    }
    outcome.kept = watch.signal == 0 && !watch.fault;
  }
  outcome.signal = watch.signal;
  outcome.fault = watch.fault.value_or("");
  outcome.freeNumbers = watch.freeNumbers;
  if (batch) batchFree.insert(batchFree.end(), watch.freeNumbers.begin(), watch.freeNumbers.end());
  last = outcome;
  if (!outcome.kept && onDiscarded) onDiscarded(DiscardedLine(outcome), &ctx);
  if (escaped) std::rethrow_exception(escaped);
}

void RunGuard::Impl::Keep(const std::vector<Mark>& marks, PlatformPort& platform, RunWatch& watch) {
  std::vector<const Mark*> written;
  try {
    for (const Mark& mark : marks) {
      platform.SaveSetting(mark.appName, mark.section, mark.key, mark.value);
      written.push_back(&mark);
    }
    control->CommitRun();
    return;
  } catch (const Failure& failure) {
    watch.Fault(written.size() < marks.size()
                    ? "the per-user mark of " + marks[written.size()].key +
                          " could not be saved: " + failure.description()
                    : "the database refused to commit: " + failure.description());
  }
  control->RollbackRun();
  for (const Mark* mark : written) {
    try {
      if (removeSetting) removeSetting(mark->appName, mark->section, mark->key);
    } catch (const std::exception&) {
      // The store refused twice; the line about the run says enough.
    }
  }
}

RunGuard::RunGuard(std::shared_ptr<HostConnection> internos,
                   connectors::TransactionControl* control, RemoveSetting removeSetting,
                   PendingSignal pendingSignal)
    : impl_(std::make_unique<Impl>()) {
  impl_->connection =
      std::make_shared<GuardedConnection>(std::move(internos), control, pendingSignal);
  impl_->control = control;
  impl_->removeSetting = std::move(removeSetting);
  impl_->pendingSignal = std::move(pendingSignal);
}

RunGuard::~RunGuard() = default;

std::shared_ptr<HostConnection> RunGuard::connection() const { return impl_->connection; }

CopyRuns RunGuard::Wrap(CopyRuns runs) {
  auto guarded = [this](std::function<void(CopyContext&)> run) {
    return [this, run = std::move(run)](CopyContext& ctx) { impl_->Run(run, ctx); };
  };
  return CopyRuns{guarded(std::move(runs.todos)), guarded(std::move(runs.conLAPI)),
                  guarded(std::move(runs.sinLAPI))};
}

void RunGuard::SetObserver(
    std::function<void(const std::string& sql, const Variant& result)> observer) {
  impl_->connection->Observe(std::move(observer));
}

void RunGuard::BeginBatch() { impl_->batch = true; }

void RunGuard::FinishBatch() {
  Impl& impl = *impl_;
  impl.batch = false;
  if (!impl.batchOpen) return;  // no run, or the failed one already rolled everything back
  impl.batchOpen = false;
  RunWatch watch;
  impl.Keep(impl.batchMarks, *impl.batchPlatform, watch);
  if (watch.fault) return impl.Discard({false, *watch.fault, 0, impl.batchFree}, nullptr);
  impl.last = RunOutcome{true, "", 0, impl.batchFree};
}

void RunGuard::SetOnDiscarded(
    std::function<void(const std::string& line, CopyContext* ctx)> onDiscarded) {
  impl_->onDiscarded = std::move(onDiscarded);
}

const std::optional<RunOutcome>& RunGuard::lastOutcome() const { return impl_->last; }

std::string RunGuard::DiscardedLine(const RunOutcome& outcome) {
  const std::string why = outcome.signal != 0 ? std::string("the run was interrupted by SIG") +
                                                    ::sigabbrev_np(outcome.signal)
                                              : outcome.fault;
  return "Nothing was written: " + why + "; the database is as it was before the run.";
}

}  // namespace oq::app
