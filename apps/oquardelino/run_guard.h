#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "connectors/common/transaction_control.h"
#include "dialog/frmMAIN.h"
#include "engine/platform_port.h"
#include "host/host_connection.h"

namespace oq::app {

// Thrown through the component when the user interrupts a run. It is not a Failure, so no
// procedure of the component catches it: the run stops at the statement it was about to send.
class RunInterrupted : public std::exception {
 public:
  explicit RunInterrupted(int signal) : signal_(signal) {}
  const char* what() const noexcept override { return "the run was interrupted"; }
  int signal() const { return signal_; }

 private:
  int signal_;
};

// What became of one guarded run.
struct RunOutcome {
  // Whether the run's writes were kept (committed, or written statement by statement).
  bool kept = true;
  // Why they were not: the first fault seen ("a statement failed: ...").
  std::string fault;
  // The signal that interrupted the run, 0 when none.
  int signal = 0;
  // The numbers the run's existence checks found free, in order: the internos it set out to make.
  std::vector<std::string> freeNumbers;
};

// Makes each copy run all-or-nothing around the component, which sends its statements one by one
// and keeps what a step wrote when a later one fails. The guard opens one transaction on the
// internos connection when a run starts and commits it only when the run ended without a fault:
// no statement refused, no failure box (styles 0 and 16), no "Error en agregar" line, no lost
// connection, no interruption. A number found taken is not a fault. The per-user marks the run
// asks for are held back until the commit, and taken back when the commit fails, so a mark never
// names a cover sheet that was rolled back.
//
// Two runs creating the same number take turns: the existence check of each number locks it
// first (TransactionControl::LockNumber), so the second run's check sees the first one's cover
// sheet.
//
// Without a TransactionControl (keep-partial) the guard only watches: statements run in
// autocommit and marks are written at once, as the component does on its own.
class RunGuard {
 public:
  // Takes back a mark written before a commit that then failed.
  using RemoveSetting = std::function<void(const std::string& appName, const std::string& section,
                                           const std::string& key)>;
  // The signal that asks the run to stop, 0 while none (read before every statement).
  using PendingSignal = std::function<int()>;

  // `internos` is the connection the component is to use, `control` its transaction control
  // (null: keep-partial); `control` must outlive the guard.
  RunGuard(std::shared_ptr<HostConnection> internos, connectors::TransactionControl* control,
           RemoveSetting removeSetting, PendingSignal pendingSignal);
  ~RunGuard();
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

  // The connection to hand to the component in place of `internos`.
  std::shared_ptr<HostConnection> connection() const;

  // Called after every statement of the component's internos connection that ran, with its text
  // and result; for a progress display.
  void SetObserver(std::function<void(const std::string& sql, const Variant& result)> observer);

  // `runs` with each run guarded. The guard must outlive the runs.
  CopyRuns Wrap(CopyRuns runs);

  // Called after a run whose writes were not kept, with the line that says so and the context of
  // the run, to show it there (null for a batch that failed to commit). Failures other than
  // interruptions are rethrown after it.
  void SetOnDiscarded(std::function<void(const std::string& line, CopyContext* ctx)> onDiscarded);

  // The runs from here to FinishBatch share one transaction: the first one that is not kept rolls
  // back all of them, and the later ones do not run. FinishBatch commits (with the marks of every
  // run) when all were kept; lastOutcome then tells the batch's outcome, with the free numbers of
  // every run.
  void BeginBatch();
  void FinishBatch();

  // The outcome of the last run, if one ran.
  const std::optional<RunOutcome>& lastOutcome() const;

  // The line that says a run's writes were discarded, and why.
  static std::string DiscardedLine(const RunOutcome& outcome);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace oq::app
