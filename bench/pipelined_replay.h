#pragma once

#include <string>

#include "floors.h"
#include "timing.h"

namespace oq::bench {

// PostgreSQL's prepared floor: opens a libpq session to each database (not timed), lifts every
// statement of `log` as the PostgreSQL connector does (not timed), then sends each connection's
// statements in pipeline mode, each shape prepared once, with a sync every kBatch statements;
// while the next batch goes out, the one before is answered and read (every value of every row).
// In kTransaction the internos statements run between BEGIN and COMMIT. Returns the time taken;
// throws std::runtime_error with the server's words when a statement is refused.
Sample PipelinedReplay(const std::string& internosConnection, const std::string& ncmConnection,
                       const StatementLog& log, Mode mode);

}  // namespace oq::bench
