#pragma once

#include <vector>

#include "raw_sqlite.h"
#include "report.h"
#include "workspace.h"

namespace oq::bench {

// Scenario names as the table and the CSV show them.
inline constexpr const char* kFullOne = "full x1";
inline constexpr const char* kFullNine = "full x9";
inline constexpr const char* kConLapi = "con LAPI";
inline constexpr const char* kSinLapi = "sin LAPI";

// The full copy of the template of `n` items, `copies` copies (1: "full x1", 9: "full x9"),
// through cMAIN and lpCopiar (kRun) against the same invoice, cover-sheet and item statements
// sent straight through the C API (kFloor); kRewrite times the connector's left() rewriting of
// the run's statements alone. The statements of the floor are recorded from the
// run itself beforehand. Each repetition works on a fresh copy of the template; opening the
// databases is not timed. Throws std::runtime_error when a run fails or copies a wrong number of
// items.
std::vector<Timing> MeasureFullCopy(const Workspace& space, int n, int copies, int repetitions,
                                    const SqliteSettings& settings);

// The filtered copy of the template of `n` items with or without the licence mark, through
// cMAIN and the option's run (kRun), against the run's own statement sequence replayed through
// the C API (kFloor) and against the hand-written set-based copy (kSetBased); kRewrite times the
// connector's left() rewriting of the run's statements alone. After each timed part, the copy is
// checked to hold the same items with the same FOB total as the recorded run. Throws
// std::runtime_error when a run fails or the three disagree.
std::vector<Timing> MeasureFilteredCopy(const Workspace& space, int n, bool withLicence,
                                        int repetitions, const SqliteSettings& settings);

}  // namespace oq::bench
