#pragma once

#include <string>
#include <vector>

#include "careful_host/run_guard.h"
#include "careful_host/run_record.h"
#include "host/host_connection.h"
#include "platform/settings_store.h"

namespace oq::careful {

// The program's ledger of runs. Before a run commits, its record (its per-user marks and the
// prints of the internos it made, run_record.h) is staged in the user's settings store as a
// pending record of the database; after the commit the marks are written, the run entered in the
// history and the pending record deleted, in one transaction of the store. A program killed in
// between leaves the record behind, and the next program that opens the database resolves it
// (ResolvePendingMarks): the internos whose cover sheets exist as the run left them are kept with
// their marks, the others dropped. An undo goes the same way, the other way round, its marks
// removed as it is staged and written back if its database rolled back. So at any
// moment no mark names a cover sheet that was rolled back, and once the program has run again on
// the database every cover sheet a committed run made has its mark and its history entry.
class StoreMarkLedger : public MarkLedger {
 public:
  // Records go to `store`, filed under `database` (TransactionControl::DatabaseIdentity); the
  // internos made are read through `internos` (the run's connection) and were copied from `source`.
  StoreMarkLedger(SettingsStore store, std::string database,
                  std::shared_ptr<HostConnection> internos, std::string source);

  void Stage(const std::vector<Mark>& marks, const std::vector<MadeInterno>& made) override;
  void Confirm() override;
  void Drop() noexcept override;

 private:
  SettingsStore store_;
  std::string database_;
  std::shared_ptr<HostConnection> internos_;
  std::string source_;
  std::string id_;  // of the staged record, empty when none
  RunRecord staged_;
};

// Stages `record` as a pending record of its database, owned by this program: its id. An undo's
// marks go at once, so that no mark outlives its cover sheet; they come back if the undo is
// rolled back. Throws Failure.
std::string StageRecord(const SettingsStore& store, const RunRecord& record);
// What completing `record` once its database committed does: a copy writes its marks and enters
// its run in the history; an undo marks its internos undone.
Completion CompletionOf(const RunRecord& record);
// What completing `record` does when its database did not commit: nothing of a copy is kept, an
// undo's marks come back.
Completion RolledBack(const RunRecord& record);

// Resolves the records that programs no longer running left for `database`: completes each with
// what `internos` shows was committed, and deletes it. Returns how many marks it wrote. Throws
// Failure when the store or the database cannot be read.
int ResolvePendingMarks(const SettingsStore& store, const std::string& database,
                        HostConnection& internos);

// This program as a pending record's owner: the machine's boot, the process and its start time,
// which no later process shares.
std::string ThisProgram();
// Whether the program `owner` names still runs.
bool StillRunning(const std::string& owner);

}  // namespace oq::careful
