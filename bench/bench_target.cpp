#include "bench_target.h"

#include "bench_db.h"
#include "connectors/sqlite/sqlite_connection.h"

namespace oq::bench {

SqliteTarget::SqliteTarget(const Workspace& space, const char* scratchName, SqliteSettings settings)
    : space_(space),
      paths_{space.Scratch(scratchName), space.Ncm()},
      settings_(std::move(settings)) {}

void SqliteTarget::Reset(int n) { FreshCopy(space_.Internos(n), paths_.internos); }

RunConnections SqliteTarget::Open() {
  sqlite::OpenOptions options;
  options.journalMode = settings_.journalMode;
  options.synchronous = settings_.synchronous;
  auto internos = sqlite::SqliteConnection::Open(paths_.internos.string(), options);
  auto ncm = sqlite::SqliteConnection::Open(paths_.ncm.string(), options);
  return {internos, ncm, internos.get(), Dialect::kSqlite};
}

StatementLog SqliteTarget::AsReceived(const StatementLog& log) const {
  return AsSqliteReceivesThem(log);
}

Sample SqliteTarget::Replay(const StatementLog& log, Mode mode) {
  return bench::Replay(paths_, settings_, log, mode);
}

Sample SqliteTarget::ReplayPrepared(const StatementLog& log, Mode mode) {
  return bench::ReplayPrepared(paths_, settings_, log, mode);
}

CopiedItems SqliteTarget::ItemsOf(const std::string& interno) {
  return bench::ItemsOf(paths_.internos, interno);
}

}  // namespace oq::bench
