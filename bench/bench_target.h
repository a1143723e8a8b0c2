#pragma once

#include <memory>
#include <string>

#include "connectors/common/transaction_control.h"
#include "connectors/components/dialect.h"
#include "floors.h"
#include "host/host_connection.h"
#include "raw_sqlite.h"
#include "timing.h"
#include "workspace.h"

namespace oq::bench {

// The connections one run is handed, as the program opens them.
struct RunConnections {
  std::shared_ptr<HostConnection> internos;
  std::shared_ptr<HostConnection> ncm;
  connectors::TransactionControl* control = nullptr;  // the internos connection's own
  Dialect dialect = Dialect::kSqlite;
  // Whether the run guard spares round trips (Mode::kTransaction).
  bool fewerRoundTrips = true;
};

// The engine one measurement runs on: its database of internos (put back to the template of a
// size before each repetition), its NCM database, and its floor. Not thread-safe; one owner.
class BenchTarget {
 public:
  BenchTarget() = default;
  BenchTarget(const BenchTarget&) = delete;
  BenchTarget& operator=(const BenchTarget&) = delete;
  virtual ~BenchTarget() = default;

  // "sqlite" or "postgresql", as the report names the engine.
  virtual const char* engine() const = 0;
  // Makes the database of internos hold the template of `n` items and nothing else, and settles
  // the engine so that the timed part that follows starts from the same state as any other.
  virtual void Reset(int n) = 0;
  // Opens both databases through the program's connectors. Throws as they do.
  virtual RunConnections Open() = 0;
  // The statements as the engine receives them from its connector (the connector's rewriting is
  // the run's cost, not the floor's).
  virtual StatementLog AsReceived(const StatementLog& log) const = 0;
  // The floor: opens both databases through the engine's client library (not timed), then runs
  // `log` in order, every row of every query read, and returns the time taken; in kTransaction
  // the internos statements run between BEGIN and COMMIT, and the commit is timed.
  virtual Sample Replay(const StatementLog& log, Mode mode) = 0;
  // The prepared floor: as Replay, but each statement goes as its shape with its literals' values
  // bound, as the program's connectors send them (lifted before the clock), each shape prepared
  // once, and a lookup that came before not asked again; where the engine pipelines, each
  // connection's statements go without waiting for each answer. The least any host that sends
  // one statement per lookup and kept item can cost.
  virtual Sample ReplayPrepared(const StatementLog& log, Mode mode) = 0;
  // The items stored under `interno` and their FOB total.
  virtual CopiedItems ItemsOf(const std::string& interno) = 0;
};

// SQLite files in a workspace: each Reset copies the template afresh (FreshCopy).
class SqliteTarget : public BenchTarget {
 public:
  SqliteTarget(const Workspace& space, const char* scratchName, SqliteSettings settings);

  const char* engine() const override { return "sqlite"; }
  void Reset(int n) override;
  RunConnections Open() override;
  StatementLog AsReceived(const StatementLog& log) const override;
  Sample Replay(const StatementLog& log, Mode mode) override;
  Sample ReplayPrepared(const StatementLog& log, Mode mode) override;
  CopiedItems ItemsOf(const std::string& interno) override;

  const DatabasePaths& paths() const { return paths_; }
  const SqliteSettings& settings() const { return settings_; }

 private:
  const Workspace& space_;
  DatabasePaths paths_;
  SqliteSettings settings_;
};

}  // namespace oq::bench
