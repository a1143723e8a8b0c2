#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "careful_host/run_record.h"
#include "platform/settings_store.h"

namespace oq::careful {

// A copy run as the history shows it: its number, its record, and when each interno it made was
// undone (0 while it stands), in the record's order.
struct HistoryRun {
  std::string run;
  RunRecord record;
  std::vector<std::int64_t> undone;
};

// The runs of `store`'s history, newest first, of `database` (any when empty) that made `number`
// (any when empty). Throws Failure when the store cannot be read.
std::vector<HistoryRun> ReadHistory(const SettingsStore& store, const std::string& database = {},
                                    const std::string& number = {});

// The identity of the database `url` names (TransactionControl::DatabaseIdentity), opened
// read-only. Throws Refusal when it cannot be opened or cannot tell.
std::string IdentityOf(const std::string& url);

// "run 3, 2024-05-17T10:30:00Z, sqlite:/data/internos.db: copy of A" and one line per interno
// ("  B1 (todos): 3 items, FOB 12.5", with ", undone 2024-..." once undone).
void PrintHistory(std::ostream& out, const std::vector<HistoryRun>& runs);
// [{"run", "when", "database", "source", "internos": [{"interno", "option", "items", "fob",
// "undone": null or the time}]}].
nlohmann::ordered_json HistoryJson(const std::vector<HistoryRun>& runs);

// A time in Unix seconds as RunRecord::when.
std::string UtcText(std::int64_t seconds);

}  // namespace oq::careful
