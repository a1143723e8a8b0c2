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

namespace oq::careful {

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

// A per-user mark a run asked for (application, section, key, value).
struct Mark {
  std::string appName, section, key, value;
};

// An interno a run made: its number and the option of the run (todos, con-lapi, sin-lapi).
struct MadeInterno {
  std::string number, option;
};

// Where the marks of a run wait while its transaction commits. A ledger that keeps them in a
// durable store lets a later start finish what a killed program left (see mark_ledger.h); without
// one, the guard writes them through the run's platform once the commit succeeded.
class MarkLedger {
 public:
  MarkLedger() = default;
  MarkLedger(const MarkLedger&) = delete;
  MarkLedger& operator=(const MarkLedger&) = delete;
  virtual ~MarkLedger() = default;

  // Before the commit, inside the run's transaction: records that `marks` are to be written once
  // it succeeds, and that the run made `made`. Throws Failure when the record cannot be made; the
  // guard then rolls back.
  virtual void Stage(const std::vector<Mark>& marks, const std::vector<MadeInterno>& made) = 0;
  // After the commit: writes the staged marks and forgets the record. Throws Failure when it
  // cannot; the marks are then written when the record is resolved.
  virtual void Confirm() = 0;
  // After a commit that failed: forgets the record. Never throws.
  virtual void Drop() noexcept = 0;
};

// What became of one guarded run.
struct RunOutcome {
  // Whether the run's writes were kept (committed, or written statement by statement).
  bool kept = true;
  // Why they were not: the first fault seen ("a statement failed: ...").
  std::string fault;
  // The signal that interrupted the run, 0 when none. A run committed before the signal was
  // acted on is still kept.
  int signal = 0;
  // The numbers the run's existence checks found free, in order: the internos it set out to make.
  std::vector<std::string> freeNumbers;
};

// How a guard reaches the program around it. Every member may be left empty.
struct RunGuardHooks {
  // The signal that asks the run to stop, 0 while none (read before every statement).
  std::function<int()> pendingSignal;
  // Told when the run's writes start (true) and when they are over (false): from the opening of
  // its transaction to its commit or rollback, or, keeping partial copies, the whole run. A
  // program defers interruptions in between, so that a kill never lands in the middle.
  std::function<void(bool writing)> onWriting;
  // Where the marks wait for the commit; null: the run's platform writes them after it.
  std::shared_ptr<MarkLedger> ledger;
  // Told what went wrong after a commit that stands (the marks could not be written yet).
  std::function<void(const std::string& line)> warn;
  // Whether runs in a transaction spare round trips (see RunGuard); off, every statement is sent
  // on its own as the component sends it. The rows written are the same.
  bool fewerRoundTrips = true;
};

// Makes each copy run all-or-nothing around the component, which sends its statements one by one
// and keeps what a step wrote when a later one fails. The guard opens a transaction on the
// internos connection with the run's first statement and commits it only when the run ended
// without a fault: no statement refused, no failure box (styles 0 and 16), no "Error en agregar"
// line, no lost connection, no interruption. A number found taken is not a fault. The per-user
// marks the run asks for wait in the ledger and are written only once the commit succeeded.
//
// No transaction is open while a box waits for a person: a box that comes while the run's
// transaction is open (a failure, a notice) is held, and when the run's end box comes ("Fin del
// Proceso"), or the run ends without one, the transaction is committed or rolled back first and
// the held boxes are shown in their order, the end box last. The component's boxes never change
// what it does next, so holding them changes only when they show. Runs of a batch (below) are
// the exception: their boxes show at once.
//
// Two runs creating the same number take turns: the existence check of each number locks it
// first (TransactionControl::LockNumber), so the second run's check sees the first one's cover
// sheet.
//
// Inside a run's transaction the guard spares the run round trips without changing a statement:
// a tariff lookup already answered in the run is answered again from memory (until a write to
// ncm), and on a connection that pipelines (connectors::RoundTrips) the filtered copy's item
// inserts, whose counts the component never reads, are sent together; a refused one still fails
// the copy step that wrote it, with its own failure (see guard::RunSavings).
//
// Without a TransactionControl (keep-partial) the guard only watches: statements run in
// autocommit, one by one, and marks are written at once, as the component does on its own.
class RunGuard {
 public:
  // `internos` is the connection the component is to use, `control` its transaction control
  // (null: keep-partial); `control` must outlive the guard.
  RunGuard(std::shared_ptr<HostConnection> internos, connectors::TransactionControl* control,
           RunGuardHooks hooks);
  ~RunGuard();
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;

  // The connection to hand to the component in place of `internos`.
  std::shared_ptr<HostConnection> connection() const;
  // The connection to hand to the component in place of `ncm`, a connection other than
  // `internos`, so that the runs' lookups can be answered from memory.
  std::shared_ptr<HostConnection> Lookups(std::shared_ptr<HostConnection> ncm);

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

}  // namespace oq::careful
