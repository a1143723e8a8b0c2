#pragma once

#include <memory>
#include <string>

#include "bench_target.h"
#include "workspace.h"

namespace oq::bench {

// The benchmark's databases on a PostgreSQL server: two databases of its own, oq_bench_internos
// and oq_bench_ncm, created afresh (dropped first when they exist) and filled from the SQLite
// templates of the workspace, row for row, so that both engines copy the same items. The server
// is the one libpq's defaults and PGHOST, PGPORT, PGUSER... name. Each Reset deletes what earlier
// repetitions copied and vacuums, so that each starts from the template's rows alone.
class PostgresTarget : public BenchTarget {
 public:
  // Throws std::runtime_error (with libpq's reason) when no server answers or the databases
  // cannot be created.
  explicit PostgresTarget(const Workspace& space);
  ~PostgresTarget() override;

  // Whether a server answers with the defaults; `why` receives libpq's reason when none does.
  static bool Reachable(std::string& why);

  // The runs' connections (Open) go to 127.0.0.1 at `port`, a relay to the server; 0: straight
  // to the server, as libpq's defaults say.
  void Route(int port) { port_ = port; }

  const char* engine() const override { return "postgresql"; }
  void Reset(int n) override;
  RunConnections Open() override;
  StatementLog AsReceived(const StatementLog& log) const override;
  Sample Replay(const StatementLog& log, Mode mode) override;
  // Pipelined on each connection, a batch of statements in flight while the next is sent.
  Sample ReplayPrepared(const StatementLog& log, Mode mode) override;
  CopiedItems ItemsOf(const std::string& interno) override;

 private:
  struct Servers;
  const Workspace& space_;
  std::unique_ptr<Servers> servers_;
  int loaded_ = 0;  // the size whose template the database of internos holds, 0 for none
  int port_ = 0;
};

}  // namespace oq::bench
