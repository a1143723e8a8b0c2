#pragma once

#include <vector>

#include "bench_target.h"
#include "report.h"

namespace oq::bench {

// Scenario names as the table and the CSV show them.
inline constexpr const char* kFullOne = "full x1";
inline constexpr const char* kFullNine = "full x9";
inline constexpr const char* kConLapi = "con LAPI";
inline constexpr const char* kSinLapi = "sin LAPI";

// Every measurement runs on `target`'s engine in `mode` (kTransaction: the run through the
// program's RunGuard, the floor between BEGIN and COMMIT), and its timings carry both. Each
// repetition starts from target.Reset(n); opening the databases is not timed. On SQLite in
// autocommit, kRewrite times the connector's left() rewriting of the run's statements alone.

// The full copy of the template of `n` items, `copies` copies (1: "full x1", 9: "full x9"),
// through cMAIN and lpCopiar (kRun) against the same invoice, cover-sheet and item statements
// sent straight through the engine's client library (kFloor). The statements of the floor are
// recorded from the run itself beforehand. Throws std::runtime_error when a run fails or copies a
// wrong number of items.
std::vector<Timing> MeasureFullCopy(BenchTarget& target, Mode mode, int n, int copies,
                                    int repetitions);

// The filtered copy of the template of `n` items with or without the licence mark, through
// cMAIN and the option's run (kRun), against the run's own statement sequence replayed through
// the client library (kFloor) and, on SQLite in autocommit, against the hand-written set-based
// copy (kSetBased). After each timed part, the copy is checked to hold the same items with the
// same FOB total as the recorded run. Throws std::runtime_error when a run fails or they
// disagree.
std::vector<Timing> MeasureFilteredCopy(BenchTarget& target, Mode mode, int n, bool withLicence,
                                        int repetitions);

}  // namespace oq::bench
