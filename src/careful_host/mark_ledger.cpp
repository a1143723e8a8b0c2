#include "careful_host/mark_ledger.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <sstream>
#include <utility>

#include "engine/sql_text.h"
#include "host/failure.h"

namespace oq::careful {

namespace {

std::string FirstLine(const std::string& file) {
  std::string line;
  std::getline(std::ifstream(file), line);
  return line;
}

// The start time of process `pid` (field 22 of its stat line), empty when there is no such process.
std::string StartTime(const std::string& pid) {
  const std::string stat = FirstLine("/proc/" + pid + "/stat");
  // The command name in parentheses may hold blanks; the fields that follow it do not.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  for (int n = 3; n <= 22 && fields >> field; ++n) {
    if (n == 22) return field;
  }
  return {};
}

std::string BootId() { return FirstLine("/proc/sys/kernel/random/boot_id"); }

bool HasCoverSheet(HostConnection& internos, const std::string& number) {
  internos.put_sql("select interno from caratula where interno = '" + sql::Escape(number) + "'");
  Variant rows;
  return internos.crearrs(rows).isTrue();
}

}  // namespace

std::string ThisProgram() {
  const std::string pid = std::to_string(::getpid());
  return BootId() + " " + pid + " " + StartTime(pid);
}

bool StillRunning(const std::string& owner) {
  std::istringstream fields(owner);
  std::string boot, pid, start;
  fields >> boot >> pid >> start;
  return boot == BootId() && !start.empty() && StartTime(pid) == start;
}

StoreMarkLedger::StoreMarkLedger(SettingsStore store, std::string database,
                                 std::shared_ptr<HostConnection> internos, std::string source)
    : store_(std::move(store)),
      database_(std::move(database)),
      internos_(std::move(internos)),
      source_(std::move(source)) {}

void StoreMarkLedger::Stage(const std::vector<Mark>& marks, const std::vector<MadeInterno>& made) {
  staged_ = RunRecord{"copy", UtcNow(), database_, source_, marks, {}};
  for (const MadeInterno& interno : made) {
    if (auto print = ReadPrint(*internos_, interno.number)) {
      staged_.internos.push_back({interno.number, interno.option, std::move(*print), {}});
    }
  }
  id_.clear();
  if (staged_.marks.empty() && staged_.internos.empty()) return;
  id_ = StageRecord(store_, staged_);
}

void StoreMarkLedger::Confirm() {
  if (id_.empty()) return;
  store_.CompletePending(id_, CompletionOf(staged_));
  id_.clear();
}

void StoreMarkLedger::Drop() noexcept {
  if (id_.empty()) return;
  try {
    store_.CompletePending(std::exchange(id_, {}), std::vector<StoredValue>{});
  } catch (const Failure&) {
    // The record stays; the next start finds its cover sheets missing and drops it.
  }
}

std::string StageRecord(const SettingsStore& store, const RunRecord& record) {
  static std::atomic<long> staged{0};
  const std::string owner = ThisProgram();
  const std::string id = owner + " " + std::to_string(++staged);
  std::vector<StoredValue> removed;
  if (record.kind == "undo") {
    for (const Mark& m : record.marks) removed.push_back({m.appName, m.section, m.key, m.value});
  }
  store.StagePending({id, record.database, owner, RecordText(record)}, removed);
  return id;
}

Completion RolledBack(const RunRecord& record) {
  Completion completion;
  if (record.kind != "undo") return completion;
  for (const Mark& m : record.marks)
    completion.values.push_back({m.appName, m.section, m.key, m.value});
  return completion;
}

Completion CompletionOf(const RunRecord& record) {
  Completion completion;
  if (record.kind == "undo") {
    for (const RecordedInterno& i : record.internos)
      completion.undone.emplace_back(i.run, i.interno);
    return completion;
  }
  for (const Mark& m : record.marks)
    completion.values.push_back({m.appName, m.section, m.key, m.value});
  if (!record.internos.empty()) {
    completion.added = HistoryEntry{{}, record.database, RecordText(record), 0, {}};
    for (const RecordedInterno& i : record.internos)
      completion.added->numbers.emplace_back(i.interno, 0);
  }
  return completion;
}

namespace {

// `record` cut to what its database committed: a copy's internos whose cover sheets are as the
// copy left them, an undo's internos whose cover sheets are gone (or are another's now), and the
// marks of those.
RunRecord Committed(RunRecord record, HostConnection& internos) {
  const bool undo = record.kind == "undo";
  std::vector<std::string> numbers, done;
  std::vector<RecordedInterno> kept;
  for (RecordedInterno& interno : record.internos) {
    numbers.push_back(interno.interno);
    const auto now = ReadPrint(internos, interno.interno);
    const bool asMade = now && now->rows[0] == interno.print.rows[0];
    if (asMade == undo) continue;
    done.push_back(interno.interno);
    kept.push_back(std::move(interno));
  }
  record.internos = std::move(kept);
  std::erase_if(record.marks, [&](const Mark& mark) {
    if (std::ranges::find(numbers, mark.key) == numbers.end()) {
      return undo || !HasCoverSheet(internos, mark.key);  // a mark of no interno made
    }
    return std::ranges::find(done, mark.key) == done.end();
  });
  return record;
}

}  // namespace

int ResolvePendingMarks(const SettingsStore& store, const std::string& database,
                        HostConnection& internos) {
  int written = 0;
  for (const PendingRecord& record : store.Pending(database)) {
    if (StillRunning(record.owner)) continue;
    const RunRecord staged = ParseRecord(record.content);
    const RunRecord committed = Committed(staged, internos);
    Completion completion = CompletionOf(committed);
    if (staged.kind == "undo") {
      // The marks of the internos the undo did not delete come back.
      for (StoredValue& mark : RolledBack(staged).values) {
        if (std::ranges::find(committed.marks, mark.key, &Mark::key) == committed.marks.end()) {
          completion.values.push_back(std::move(mark));
        }
      }
    }
    store.CompletePending(record.id, completion);
    if (committed.kind != "undo") written += static_cast<int>(committed.marks.size());
  }
  return written;
}

}  // namespace oq::careful
