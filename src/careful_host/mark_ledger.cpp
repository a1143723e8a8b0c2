#include "careful_host/mark_ledger.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <nlohmann/json.hpp>
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

std::string Content(const std::vector<StoredValue>& values) {
  auto list = nlohmann::json::array();
  for (const StoredValue& v : values) list.push_back({v.app, v.section, v.key, v.value});
  return list.dump();
}

std::vector<StoredValue> Values(const std::string& content) {
  std::vector<StoredValue> values;
  const auto list = nlohmann::json::parse(content, nullptr, false);
  if (!list.is_array()) return values;
  for (const auto& v : list) {
    if (v.is_array() && v.size() == 4 &&
        std::all_of(v.begin(), v.end(), [](const auto& text) { return text.is_string(); })) {
      values.push_back({v[0], v[1], v[2], v[3]});
    }
  }
  return values;
}

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

StoreMarkLedger::StoreMarkLedger(SettingsStore store, std::string database)
    : store_(std::move(store)), database_(std::move(database)) {}

void StoreMarkLedger::Stage(const std::vector<Mark>& marks) {
  static std::atomic<long> staged{0};
  staged_.clear();
  for (const Mark& mark : marks) {
    staged_.push_back({mark.appName, mark.section, mark.key, mark.value});
  }
  id_.clear();
  if (staged_.empty()) return;
  const std::string owner = ThisProgram();
  const std::string id = owner + " " + std::to_string(++staged);
  store_.StagePending({id, database_, owner, Content(staged_)});
  id_ = id;
}

void StoreMarkLedger::Confirm() {
  if (id_.empty()) return;
  store_.CompletePending(id_, staged_);
  id_.clear();
}

void StoreMarkLedger::Drop() noexcept {
  if (id_.empty()) return;
  try {
    store_.CompletePending(std::exchange(id_, {}), {});
  } catch (const Failure&) {
    // The record stays; the next start finds its cover sheets missing and drops it.
  }
}

int ResolvePendingMarks(const SettingsStore& store, const std::string& database,
                        HostConnection& internos) {
  int written = 0;
  for (const PendingRecord& record : store.Pending(database)) {
    if (StillRunning(record.owner)) continue;
    std::vector<StoredValue> made;
    for (const StoredValue& mark : Values(record.content)) {
      if (HasCoverSheet(internos, mark.key)) made.push_back(mark);
    }
    store.CompletePending(record.id, made);
    written += static_cast<int>(made.size());
  }
  return written;
}

}  // namespace oq::careful
