#include "pipelined_replay.h"

#include <libpq-fe.h>

#include <cstddef>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "connectors/common/literal_lifting.h"

namespace oq::bench {

namespace {

constexpr std::size_t kBatch = 1000;

// One session in pipeline mode, its statements sent by shape with their values.
class PipelinedSession {
 public:
  explicit PipelinedSession(const std::string& connection)
      : conn_(PQconnectdb(connection.c_str())) {
    if (PQstatus(conn_) != CONNECTION_OK) Fail("connect");
  }
  ~PipelinedSession() { PQfinish(conn_); }
  PipelinedSession(const PipelinedSession&) = delete;
  PipelinedSession& operator=(const PipelinedSession&) = delete;

  void Start() {
    if (PQenterPipelineMode(conn_) != 1) Fail("pipeline mode");
  }

  void Send(const std::string& text, const std::vector<const char*>& values) {
    auto [found, isNew] = names_.try_emplace(text, "f" + std::to_string(names_.size() + 1));
    if (isNew && PQsendPrepare(conn_, found->second.c_str(), text.c_str(), 0, nullptr) != 1) {
      Fail("prepare");
    }
    if (PQsendQueryPrepared(conn_, found->second.c_str(), static_cast<int>(values.size()),
                            values.data(), nullptr, nullptr, 0) != 1) {
      Fail("send");
    }
    if (++unsynced_ == kBatch) Sync();
  }

  // Sends a sync after the statements not yet followed by one, and reads the answers of all but
  // the batch just closed.
  void Sync() {
    if (PQpipelineSync(conn_) != 1) Fail("sync");
    unsynced_ = 0;
    if (++inFlight_ > 1) ReadBatch();
  }

  void Finish() {
    if (unsynced_ > 0) Sync();
    while (inFlight_ > 0) ReadBatch();
    if (PQexitPipelineMode(conn_) != 1) Fail("leaving pipeline mode");
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw std::runtime_error("PostgreSQL " + what + ": " + PQerrorMessage(conn_));
  }

  // Reads the answers up to the oldest sync in flight.
  void ReadBatch() {
    // The sink keeps the reads from being optimised away.
    volatile std::size_t sink = 0;
    int ends = 0;  // a query's answers end with a null result; two in a row: nothing is coming
    for (;;) {
      PGresult* const result = PQgetResult(conn_);
      if (result == nullptr) {
        if (++ends > 1) Fail("pipeline");
        continue;
      }
      ends = 0;
      const ExecStatusType status = PQresultStatus(result);
      if (status == PGRES_PIPELINE_SYNC) {
        PQclear(result);
        --inFlight_;
        return;
      }
      if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK) {
        const std::string message = PQresultErrorMessage(result);
        PQclear(result);
        throw std::runtime_error("PostgreSQL refused a statement: " + message);
      }
      for (int r = 0; r < PQntuples(result); ++r) {
        for (int c = 0; c < PQnfields(result); ++c) {
          sink = sink + static_cast<std::size_t>(PQgetlength(result, r, c)) +
                 (PQgetvalue(result, r, c) != nullptr);
        }
      }
      PQclear(result);
    }
  }

  PGconn* conn_;
  std::unordered_map<std::string, std::string> names_;  // shape -> prepared name
  std::size_t unsynced_ = 0;
  int inFlight_ = 0;  // syncs sent and not yet read
};

struct BoundStatement {
  PipelinedSession* session;
  std::string text;
  std::vector<std::string> values;
};

}  // namespace

Sample PipelinedReplay(const std::string& internosConnection, const std::string& ncmConnection,
                       const StatementLog& log, Mode mode) {
  PipelinedSession internos(internosConnection);
  PipelinedSession ncm(ncmConnection);
  std::vector<BoundStatement> statements;
  statements.reserve(log.size());
  for (const SentStatement& statement : LookupsOnce(log)) {
    BoundStatement bound{
        statement.target == SentStatement::Target::kInternos ? &internos : &ncm, statement.sql, {}};
    if (auto lifted = connectors::LiftLiterals(statement.sql,
                                               {connectors::LiftingRules::Engine::kPostgres})) {
      bound.text = std::move(lifted->shape);
      for (connectors::LiftedLiteral& literal : lifted->literals) {
        bound.values.push_back(std::move(literal.text));
      }
    }
    statements.push_back(std::move(bound));
  }
  std::vector<const char*> values;
  Stopwatch clock;
  internos.Start();
  ncm.Start();
  if (mode == Mode::kTransaction) internos.Send("begin", {});
  for (const BoundStatement& statement : statements) {
    values.clear();
    for (const std::string& value : statement.values) values.push_back(value.c_str());
    statement.session->Send(statement.text, values);
  }
  if (mode == Mode::kTransaction) internos.Send("commit", {});
  internos.Finish();
  ncm.Finish();
  return clock.Elapsed();
}

}  // namespace oq::bench
