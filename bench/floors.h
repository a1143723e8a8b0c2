#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "raw_sqlite.h"
#include "timing.h"

namespace oq::bench {

// The two database files one measurement works on.
struct DatabasePaths {
  std::filesystem::path internos;
  std::filesystem::path ncm;
};

// How a run's statements reach the database: each its own transaction, or all of a run in one
// (the program's RunGuard around the run; BEGIN ... COMMIT around the floor's replay).
enum class Mode { kAutocommit, kTransaction };
// "autocommit" or "transaction", as the report names the mode.
const char* NameOf(Mode mode);

// One statement a copy run sent through a host connection, as the run set it in `sql`.
struct SentStatement {
  enum class Target { kInternos, kNcm };
  enum class Kind { kQuery, kExec };  // crearrs or ejecutar
  Target target;
  Kind kind;
  std::string sql;
};
using StatementLog = std::vector<SentStatement>;

// The statements as SQLite receives them: the connection rewrites left(x, n) calls, and the
// floor must not be charged with that rewriting.
StatementLog AsSqliteReceivesThem(const StatementLog& log);

// The time the connector takes to rewrite the left(x, n) calls of every statement of `log`.
Sample RewriteTime(const StatementLog& log);

// The statements that write rows (ejecutar on the internos connection): for a full copy, the
// invoice, cover-sheet and item copies of each copy, without the existence check.
StatementLog WritesOnly(const StatementLog& log);

// The floor: opens both databases with `settings` (not timed), then runs `log` in order straight
// through the C API (queries read every column of every row) and returns the time taken. In
// kTransaction the internos statements run inside BEGIN IMMEDIATE ... COMMIT, as the program's
// runs do, and the commit is timed.
Sample Replay(const DatabasePaths& paths, const SqliteSettings& settings, const StatementLog& log,
              Mode mode = Mode::kAutocommit);

// `log` without the lookups (queries on the NCM database) that came before in it: a run asks a
// lookup once and answers it again from memory, and so do the prepared floors.
StatementLog LookupsOnce(const StatementLog& log);

// The prepared floor: as Replay, but each statement goes as its shape with its literals' values
// bound, the way the connectors send them (connectors::LiftLiterals, lifted before the clock),
// and each shape is prepared once, on its first use; a lookup that came before is not asked
// again, and in one transaction the lookups read the NCM file under one read lock, as a guarded
// run's do. The least a host that sends one statement per lookup and per kept item can cost here.
Sample ReplayPrepared(const DatabasePaths& paths, const SqliteSettings& settings,
                      const StatementLog& log, Mode mode);

// What a person would write by hand for a filtered copy: one INSERT ... SELECT ... JOIN ncm for
// the kept items (the NCM database attached, not timed), the invoice and cover-sheet copies, and
// one UPDATE for the FOB total. Returns the seconds taken.
Sample HandWrittenFilteredCopy(const DatabasePaths& paths, const SqliteSettings& settings,
                               bool withLicence, const std::string& newNumber);

// The items stored under `interno`, and the sum of their FOB, read with the library's defaults.
struct CopiedItems {
  long long count = 0;
  double fob = 0;
};
CopiedItems ItemsOf(const std::filesystem::path& internos, const std::string& interno);

}  // namespace oq::bench
