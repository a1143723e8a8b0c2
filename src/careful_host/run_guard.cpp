#include "careful_host/run_guard.h"

#include <signal.h>
#include <string.h>

#include <utility>
#include <vector>

#include "careful_host/component_texts.h"
#include "careful_host/run_watch.h"
#include "host/failure.h"

namespace oq::careful {

using guard::Box;
using guard::GuardedConnection;
using guard::RunCouldNotStart;
using guard::RunSavings;
using guard::RunState;
using guard::RunWatch;
using guard::WatchingForm;
using guard::WatchingPlatform;

namespace {

// The ledger of a guard given none: the marks are written through the run's platform once the
// commit succeeded.
class PlatformLedger : public MarkLedger {
 public:
  void Use(PlatformPort& platform) { platform_ = &platform; }
  void Stage(const std::vector<Mark>& marks, const std::vector<MadeInterno>&) override {
    marks_ = marks;
  }
  void Confirm() override {
    for (const Mark& mark : std::exchange(marks_, {})) {
      platform_->SaveSetting(mark.appName, mark.section, mark.key, mark.value);
    }
  }
  void Drop() noexcept override { marks_.clear(); }

 private:
  PlatformPort* platform_ = nullptr;
  std::vector<Mark> marks_;
};

}  // namespace

struct RunGuard::Impl : RunState {
  std::shared_ptr<GuardedConnection> connection;
  connectors::TransactionControl* txControl = nullptr;
  RunGuardHooks hooks;
  PlatformLedger platformLedger;
  std::function<void(const std::string&, CopyContext*)> onDiscarded;
  std::optional<RunOutcome> last;
  bool writing = false;
  bool txOpen = false;
  RunWatch* current = nullptr;
  PlatformPort* platform = nullptr;  // the run's own, unwatched
  // Several runs in one transaction, from BeginBatch to FinishBatch.
  bool batch = false;
  bool batchFailed = false;
  int batchSignal = 0;
  std::vector<Mark> batchMarks;
  std::vector<MadeInterno> batchMade;
  std::string option;  // of the run under way
  std::vector<std::string> batchFree;
  PlatformPort* batchPlatform = nullptr;

  RunSavings runSavings;
  // The internos connection's own, when it is the connection the guard was given (not one that
  // wraps it): the writes it sends together then pass nothing by.
  connectors::RoundTrips* writes = nullptr;

  RunWatch* watch() override { return current; }
  connectors::TransactionControl* control() override { return txControl; }
  RunSavings& savings() override { return runSavings; }
  std::string DecimalSeparator() override { return platform->DecimalSeparator(); }

  void SetWriting(bool on) {
    if (writing == on) return;
    writing = on;
    if (hooks.onWriting) hooks.onWriting(on);
  }
  int Pending() const { return hooks.pendingSignal ? hooks.pendingSignal() : 0; }

  void BeforeStatement() override {
    if (const int signal = Pending(); signal != 0) throw RunInterrupted(signal);
    if (txControl == nullptr || txOpen) return;
    try {
      txControl->BeginRun();
    } catch (const Failure& failure) {
      throw RunCouldNotStart("the run could not start: " + failure.description());
    }
    txOpen = true;
    SetWriting(true);
  }

  void Rollback() {
    txControl->RollbackRun();
    txOpen = false;
    SetWriting(false);
  }

  // The internos a run made: the numbers its checks found free.
  std::vector<MadeInterno> Made(const RunWatch& runWatch) const {
    std::vector<MadeInterno> made;
    for (const std::string& number : runWatch.freeNumbers) made.push_back({number, option});
    return made;
  }

  // Stages the marks, commits, then writes them. False (and the fault in `watch`) when the
  // marks cannot be staged or the database refuses the commit: nothing of the run stays then.
  bool Commit(const std::vector<Mark>& marks, const std::vector<MadeInterno>& made,
              PlatformPort& runPlatform, RunWatch& runWatch) {
    platformLedger.Use(runPlatform);
    MarkLedger& ledger = hooks.ledger != nullptr ? *hooks.ledger : platformLedger;
    try {
      ledger.Stage(marks, made);
    } catch (const Failure& failure) {
      runWatch.Fault("the run's record (its marks and history) cannot be saved: " +
                     failure.description());
      Rollback();
      return false;
    }
    try {
      txControl->CommitRun();
    } catch (const Failure& failure) {
      ledger.Drop();
      runWatch.Fault("the database refused to commit: " + failure.description());
      txOpen = false;
      SetWriting(false);
      return false;
    }
    txOpen = false;
    runWatch.committed = true;
    try {
      ledger.Confirm();
    } catch (const Failure& failure) {
      // The copy is made; its marks wait in the ledger for the next start.
      if (hooks.warn) {
        hooks.warn("the copy was made, but its per-user marks could not be written yet (" +
                   failure.description() + "); the next run on this database writes them");
      }
    }
    SetWriting(false);
    return true;
  }

  bool BeforeBox(const std::string& prompt, int style) override {
    RunWatch& runWatch = *current;
    connection->SendHeldQuietly();
    if (IsFailureBox(style)) runWatch.Fault("the copy reported a failure");
    if (txOpen && !batch) {
      if (!IsRunEndBox(prompt, style)) {
        runWatch.held.push_back({prompt, style});
        return false;
      }
      if (!runWatch.healthy()) {
        Rollback();
      } else if (const int signal = Pending(); signal != 0) {
        throw RunInterrupted(signal);  // asked to stop before the commit: nothing is kept
      } else if (Commit(std::exchange(runWatch.marks, {}), Made(runWatch), *platform, runWatch)) {
        // A signal that came while the commit was under way ends the run here, its copy kept.
        if (const int late = Pending(); late != 0) throw RunInterrupted(late);
      }
    }
    ShowHeld(runWatch);
    return true;
  }

  void ShowHeld(RunWatch& runWatch) {
    for (const Box& box : std::exchange(runWatch.held, {})) platform->MsgBox(box.prompt, box.style);
  }

  void Discard(RunOutcome outcome, CopyContext* ctx) {
    last = std::move(outcome);
    if (onDiscarded) onDiscarded(DiscardedLine(*last), ctx);
  }

  void Run(const std::function<void(CopyContext&)>& run, CopyContext& ctx,
           const std::string& runOption);
  // How the run's transaction ends once the run is over, and whether its writes were kept.
  bool Settle(RunWatch& runWatch, PlatformPort& runPlatform);
};

void RunGuard::Impl::Run(const std::function<void(CopyContext&)>& run, CopyContext& ctx,
                         const std::string& runOption) {
  option = runOption;
  if (txControl != nullptr && batchFailed) {
    // An interrupted batch has already said so; a failed one says why the rest did not run.
    if (batchSignal == 0)
      Discard({false, "an earlier run of the same transaction failed", 0, {}}, &ctx);
    return;
  }
  RunWatch runWatch;
  runWatch.takenIsFault = batch;
  WatchingPlatform watchingPlatform(ctx.platform, *this, runWatch, txControl != nullptr);
  WatchingForm form(ctx.form, runWatch);
  CopyContext guarded{form, watchingPlatform};
  std::exception_ptr escaped;

  current = &runWatch;
  platform = &ctx.platform;
  if (txControl != nullptr && hooks.fewerRoundTrips) {
    runSavings.Start(writes, true);
  }
  if (txControl == nullptr) SetWriting(true);
  try {
    run(guarded);
  } catch (const RunInterrupted& interrupted) {
    runWatch.signal = interrupted.signal();
    // The run stopped between two statements: the busy pointer it may have set is still shown.
    ctx.platform.SetMousePointer(vbArrow);
  } catch (const RunCouldNotStart& notStarted) {
    runWatch.Fault(notStarted.what());
    ctx.platform.SetMousePointer(vbArrow);
  } catch (...) {
    runWatch.Fault("the run ended abnormally");
    escaped = std::current_exception();
  }
  if (runWatch.healthy()) connection->SendHeldQuietly();
  runSavings.Stop();
  if (runWatch.signal == 0) runWatch.signal = Pending();
  RunOutcome outcome;
  outcome.kept = Settle(runWatch, ctx.platform);
  if (txControl == nullptr) SetWriting(false);
  if (runWatch.signal == 0) ShowHeld(runWatch);
  current = nullptr;
  outcome.signal = runWatch.signal;
  outcome.fault = runWatch.fault.value_or("");
  outcome.freeNumbers = runWatch.freeNumbers;
  last = outcome;
  if (!outcome.kept && onDiscarded) onDiscarded(DiscardedLine(outcome), &ctx);
  if (escaped) std::rethrow_exception(escaped);
}

bool RunGuard::Impl::Settle(RunWatch& runWatch, PlatformPort& runPlatform) {
  if (txControl == nullptr) return true;
  if (batch) {
    batchFree.insert(batchFree.end(), runWatch.freeNumbers.begin(), runWatch.freeNumbers.end());
    if (runWatch.healthy()) {
      batchMarks.insert(batchMarks.end(), runWatch.marks.begin(), runWatch.marks.end());
      for (MadeInterno& made : Made(runWatch)) batchMade.push_back(std::move(made));
      batchPlatform = &runPlatform;
      return true;
    }
    if (txOpen) Rollback();
    batchFailed = true;
    batchSignal = runWatch.signal;
    return false;
  }
  if (txOpen && runWatch.healthy()) {
    Commit(std::exchange(runWatch.marks, {}), Made(runWatch), runPlatform, runWatch);
  } else if (txOpen) {
    Rollback();
  }
  // Committed at its end box, a run stays kept whatever comes after.
  return runWatch.committed || runWatch.healthy();
}

RunGuard::RunGuard(std::shared_ptr<HostConnection> internos,
                   connectors::TransactionControl* control, RunGuardHooks hooks)
    : impl_(std::make_unique<Impl>()) {
  impl_->writes = dynamic_cast<connectors::RoundTrips*>(internos.get());
  impl_->connection = std::make_shared<GuardedConnection>(std::move(internos), *impl_);
  impl_->txControl = control;
  impl_->hooks = std::move(hooks);
}

RunGuard::~RunGuard() {
  // A guard that goes while a batch is open (its program failed) leaves nothing behind.
  if (impl_->txOpen) impl_->Rollback();
}

std::shared_ptr<HostConnection> RunGuard::connection() const { return impl_->connection; }

std::shared_ptr<HostConnection> RunGuard::Lookups(std::shared_ptr<HostConnection> ncm) {
  // Reads held on the internos file through a second connection would keep the run's own
  // commit waiting: only another database's are held.
  bool otherDatabase = false;
  auto* ncmControl = dynamic_cast<connectors::TransactionControl*>(ncm.get());
  if (ncmControl != nullptr && impl_->txControl != nullptr) {
    try {
      otherDatabase = ncmControl->DatabaseIdentity() != impl_->txControl->DatabaseIdentity();
    } catch (const Failure&) {
      // Not known to be another: the lookups read one by one.
    }
  }
  impl_->runSavings.UseForLookups(dynamic_cast<connectors::RoundTrips*>(ncm.get()), otherDatabase);
  return std::make_shared<guard::RememberingConnection>(std::move(ncm), impl_->runSavings);
}

CopyRuns RunGuard::Wrap(CopyRuns runs) {
  auto guarded = [this](std::function<void(CopyContext&)> run, std::string option) {
    return [this, run = std::move(run), option](CopyContext& ctx) { impl_->Run(run, ctx, option); };
  };
  return CopyRuns{guarded(std::move(runs.todos), "todos"),
                  guarded(std::move(runs.conLAPI), "con-lapi"),
                  guarded(std::move(runs.sinLAPI), "sin-lapi")};
}

void RunGuard::SetObserver(
    std::function<void(const std::string& sql, const Variant& result)> observer) {
  impl_->connection->Observe(std::move(observer));
}

void RunGuard::BeginBatch() {
  Impl& impl = *impl_;
  impl.batch = true;
  impl.batchFailed = false;
  impl.batchSignal = 0;
  impl.batchMarks.clear();
  impl.batchMade.clear();
  impl.batchFree.clear();
}

void RunGuard::FinishBatch() {
  Impl& impl = *impl_;
  if (!impl.batch) return;
  impl.batch = false;
  if (impl.batchFailed) return;  // the failed run rolled everything back and said so
  if (!impl.txOpen) {
    if (impl.last) impl.last = RunOutcome{true, "", 0, impl.batchFree};
    return;
  }
  RunWatch watch;
  if (!impl.Commit(impl.batchMarks, impl.batchMade, *impl.batchPlatform, watch)) {
    return impl.Discard({false, *watch.fault, 0, impl.batchFree}, nullptr);
  }
  impl.last = RunOutcome{true, "", impl.Pending(), impl.batchFree};
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

}  // namespace oq::careful
