#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "connectors/common/snapshot_recordset.h"
#include "host/failure.h"
#include "host/host_connection.h"

namespace oq::connectors {

// A statement of a batch that the database refused: its place in the batch and the failure it
// raised, the same as it raises when sent on its own. The statements after it did not run.
struct Refused {
  std::size_t index;
  Failure failure;
};

// What a connection offers a careful host to spare it round trips to the database. The SQLite and
// PostgreSQL connections implement it next to TransactionControl.
class RoundTrips {
 public:
  RoundTrips() = default;
  RoundTrips(const RoundTrips&) = delete;
  RoundTrips& operator=(const RoundTrips&) = delete;
  virtual ~RoundTrips() = default;

  // Whether a statement whose text comes again runs from the form prepared when it came the
  // second time, instead of being parsed and planned afresh (on by default, for a bounded number
  // of texts). Results are the same either way.
  virtual void SetReusePrepared(bool on) = 0;

  // Whether RunWrites sends its statements without waiting for each answer.
  virtual bool Pipelines() const = 0;

  // Runs `statements` in order, as put_sql and ejecutar would one by one, and returns the first
  // one refused, if any. Where the connection pipelines, they are sent without waiting for each
  // answer (at most kMaxBatch at a time, so that the answers fit in the connection's buffers)
  // and all are answered before this returns; a session that does not take pipelining runs them
  // one by one. Throws Failure when the connection is lost.
  virtual std::optional<Refused> RunWrites(const std::vector<std::string>& statements) = 0;
  static constexpr std::size_t kMaxBatch = 1000;

  // Inside a run's transaction, where the connection pipelines: sends `statements` as RunWrites
  // does but returns once they are sent, so that the database runs them while the caller goes
  // on. Their answers are read by the next SendWrites (the oldest, once more than kMaxBatch
  // statements are on their way), by FinishWrites, or first thing by any other call on the
  // connection, which then throws the failure of a refused one. Returns the first refused among the
  // answers read meanwhile (its index counts within the call that sent it). Statements sent after a
  // refused one fail with the transaction, which must then be rolled back. Elsewhere, RunWrites.
  virtual std::optional<Refused> SendWrites(const std::vector<std::string>& statements) {
    return RunWrites(statements);
  }
  // Reads the answers of every statement SendWrites left in flight; the first refused, if any.
  virtual std::optional<Refused> FinishWrites() { return std::nullopt; }

  // Outside a run's transaction, where the connection pipelines: sends the queries `queries`
  // and returns at once (false when it cannot, nothing sent), so that the database answers them
  // while the caller goes on; NextAnswer then gives their answers one by one, in order, reading
  // no more than it needs, and the connection sends the rest as the answers are read. What is
  // not read by the connection's next call of any other kind is dropped first.
  virtual bool AskAhead(const std::vector<std::string>& queries) {
    static_cast<void>(queries);
    return false;
  }
  // The answer to the next query AskAhead sent, as RunQueries gives it (null for one refused or
  // not answered, and once all are given). Throws Failure when the connection is lost.
  virtual std::shared_ptr<SnapshotRecordset> NextAnswer() { return nullptr; }
  // Drops the answers asked ahead and not read. Throws Failure when the connection is lost.
  virtual void DropAnswers() {}

  // Runs the queries `queries`, pipelined where the connection pipelines (kMaxBatch at a time,
  // the next batch sent while the one before is answered), and gives back each one's rows as
  // crearrs leaves them, or null for one that was refused or not answered (whoever needs it then
  // sends it itself, and meets its failure). Throws Failure when the connection is lost.
  virtual std::vector<std::shared_ptr<SnapshotRecordset>> RunQueries(
      const std::vector<std::string>& queries) = 0;

  // From HoldReads to EndReads the connection's queries read one state of the database, and a
  // database file is locked once for all of them rather than once per query; a write through the
  // connection ends that first. Other programs may read meanwhile; one that writes the same file
  // waits for EndReads. Only for a connection that is not inside a run's transaction of its own.
  // By default queries read on their own, as outside.
  virtual void HoldReads() {}
  virtual void EndReads() noexcept {}
};

// Holds a connection's reads together (RoundTrips::HoldReads) for its own lifetime. A null
// connection, or one that refuses, reads query by query, as without.
class HeldReads {
 public:
  explicit HeldReads(RoundTrips* connection) {
    if (connection == nullptr) return;
    try {
      connection->HoldReads();
      connection_ = connection;
    } catch (const Failure&) {
      // Each query then reads on its own.
    }
  }
  ~HeldReads() {
    if (connection_ != nullptr) connection_->EndReads();
  }
  HeldReads(const HeldReads&) = delete;
  HeldReads& operator=(const HeldReads&) = delete;

 private:
  RoundTrips* connection_ = nullptr;
};

// Runs `statements` through `connection` one by one, as put_sql and ejecutar, and returns the
// first one refused, if any: what RunWrites does where nothing is pipelined.
inline std::optional<Refused> RunEachAlone(HostConnection& connection,
                                           const std::vector<std::string>& statements) {
  for (std::size_t i = 0; i < statements.size(); ++i) {
    connection.put_sql(statements[i]);
    try {
      connection.ejecutar();
    } catch (const Failure& failure) {
      return Refused{i, failure};
    }
  }
  return std::nullopt;
}

}  // namespace oq::connectors
