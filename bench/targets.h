#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "report.h"

namespace oq::bench {

// One target of the benchmark and the figure measured against it.
struct TargetCheck {
  std::string target;  // what is promised, in words
  std::string figure;  // what was measured, in words
  bool measured = false;
  bool met = false;
};

// Checks the report against the targets, per engine and mode: full copy within 1.1 times its
// floor at every N; each filtered copy within 1.15 times its replayed floor at 10,000 items, at
// least 15,000 kept items per second at 10,000 on SQLite in autocommit, 40,000 in one
// transaction, 15,000 on PostgreSQL in one transaction on its socket (none in autocommit there),
// and at 100,000 items within 12 times its 10,000 figure; behind a network of 0.25 ms each way,
// each filtered copy of 10,000 items on PostgreSQL within 2 times its time on the socket and at
// most 0.3 round trips per kept item; then peak resident set growing by at most about 2 KB per
// source item. SQLite in autocommit is always
// checked, and a target whose sizes were not measured is reported so; the other setups are
// checked when the report holds any of their timings.
std::vector<TargetCheck> CheckTargets(const Report& report);

void PrintTargets(std::ostream& out, const std::vector<TargetCheck>& checks);
// targets.csv in `folder`.
void WriteTargetsCsv(const std::filesystem::path& folder, const std::vector<TargetCheck>& checks);

}  // namespace oq::bench
