#pragma once

#include <string>
#include <vector>

#include "postgres_target.h"
#include "report.h"

namespace oq::bench {

// Measures the full copy x1 and both filtered copies of `n` items at each of `delaysMs` (0 the
// socket), with the savings on and, at delays up to 0.25 ms, off (every statement on its own, as
// before them). Each run's round trips are counted once through a relay without delay. Throws
// std::runtime_error when a run fails or keeps other items than the first.
std::vector<NetworkFigure> MeasureOverNetwork(PostgresTarget& target, int n, int repetitions,
                                              const std::vector<double>& delaysMs);

}  // namespace oq::bench
