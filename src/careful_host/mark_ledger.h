#pragma once

#include <string>
#include <vector>

#include "careful_host/run_guard.h"
#include "host/host_connection.h"
#include "platform/settings_store.h"

namespace oq::careful {

// The program's ledger of per-user marks. Before a run commits, its marks are staged in the
// user's settings store as a pending record of the database; after the commit they are written
// and the record deleted, in one transaction of the store. A program killed in between leaves the
// record behind, and the next program that opens the database resolves it
// (ResolvePendingMarks): the marks whose cover sheets exist are written, the others dropped. So
// at any moment no mark names a cover sheet that was rolled back, and once the program has run
// again on the database every cover sheet a committed run made has its mark.
class StoreMarkLedger : public MarkLedger {
 public:
  // Records go to `store`, filed under `database` (TransactionControl::DatabaseIdentity).
  StoreMarkLedger(SettingsStore store, std::string database);

  void Stage(const std::vector<Mark>& marks) override;
  void Confirm() override;
  void Drop() noexcept override;

 private:
  SettingsStore store_;
  std::string database_;
  std::string id_;  // of the staged record, empty when none
  std::vector<StoredValue> staged_;
};

// Resolves the records that programs no longer running left for `database`: writes each mark whose
// number has a cover sheet in `internos`, drops the others, and deletes the record. Returns how
// many marks it wrote. Throws Failure when the store or the database cannot be read.
int ResolvePendingMarks(const SettingsStore& store, const std::string& database,
                        HostConnection& internos);

// This program as a pending record's owner: the machine's boot, the process and its start time,
// which no later process shares.
std::string ThisProgram();
// Whether the program `owner` names still runs.
bool StillRunning(const std::string& owner);

}  // namespace oq::careful
