// The PostgreSQL connection's batches (connectors::RoundTrips), in libpq's pipeline mode.
#include <libpq-fe.h>

#include "connectors/common/literal_lifting.h"
#include "connectors/postgres/bracket_names.h"
#include "connectors/postgres/postgres_connection.h"
#include "connectors/postgres/postgres_recordset.h"
#include "connectors/postgres/server_messages.h"

namespace oq::postgres {

namespace {

// One statement as a pipeline sends it: its text or shape, its parameters, and the name of its
// prepared form when it has one.
struct Outgoing {
  std::string text;
  std::vector<std::string> values;
  std::string prepared;
  bool prepareNow = false;  // the prepared form is made in this pipeline, just before it
};

}  // namespace

bool PostgresConnection::Pipeline(const std::vector<std::string>& statements,
                                  const std::function<void(std::size_t, PGresult*)>& answer) {
  PGconn* const conn = RawHandle();
  if (statements.size() > kMaxBatch || conn == nullptr || PQenterPipelineMode(conn) != 1) {
    return false;
  }
  std::vector<Outgoing> outgoing(statements.size());
  for (std::size_t i = 0; i < statements.size(); ++i) {
    Outgoing& out = outgoing[i];
    out.text = TranslateBracketNames(statements[i]);
    if (!reuse_) continue;
    if (const std::string* shape = Lifted(out.text, out.values)) out.text = *shape;
    if (const auto found = pipelinePrepared_.find(out.text); found != pipelinePrepared_.end()) {
      out.prepared = found->second;
    } else if (CameBefore(out.text)) {
      out.prepared = "oqp_" + std::to_string(++pipelineNames_);
      out.prepareNow = true;
      pipelinePrepared_.emplace(out.text, out.prepared);
    }
  }
  // Each statement is its own extended-protocol query, as Run sends it; one sync at the end. A
  // refused one makes the server skip the rest up to the sync (and fails a transaction).
  // Which statement each query answers for, and whether it is a statement's prepare.
  std::vector<std::pair<std::size_t, bool>> queries;
  bool sent = true;
  for (std::size_t i = 0; i < outgoing.size() && sent; ++i) {
    const Outgoing& out = outgoing[i];
    std::vector<const char*> values;
    for (const std::string& value : out.values) values.push_back(value.c_str());
    const int count = static_cast<int>(values.size());
    if (out.prepareNow) {
      sent = PQsendPrepare(conn, out.prepared.c_str(), out.text.c_str(), 0, nullptr) == 1;
      queries.emplace_back(i, true);
    }
    sent = sent &&
           (out.prepared.empty() ? PQsendQueryParams(conn, out.text.c_str(), count, nullptr,
                                                     values.data(), nullptr, nullptr, 0)
                                 : PQsendQueryPrepared(conn, out.prepared.c_str(), count,
                                                       values.data(), nullptr, nullptr, 0)) == 1;
    queries.emplace_back(i, false);
  }
  sent = sent && PQpipelineSync(conn) == 1;
  std::string lost;
  for (std::size_t q = 0; sent && q <= queries.size(); ++q) {
    PGresult* const result = PQgetResult(conn);
    if (result == nullptr) {
      lost = FirstLine(PQerrorMessage(conn));
      break;
    }
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_FATAL_ERROR && PQstatus(conn) != CONNECTION_OK) {
      lost = FirstLine(PQresultErrorMessage(result));
    } else if (q < queries.size()) {
      const auto [statement, isPrepare] = queries[q];
      if (!isPrepare) {
        answer(statement, result);
      } else if (status != PGRES_COMMAND_OK) {
        // Not prepared: the statement is refused for the same reason, and says so itself when
        // sent again.
        pipelinePrepared_.erase(outgoing[statement].text);
        answer(statement, result);
      }
    }
    PQclear(result);
    if (status == PGRES_PIPELINE_SYNC || !lost.empty()) break;
    // Each query's results end with a null one.
    if (PGresult* end = PQgetResult(conn)) PQclear(end);
  }
  if (!sent || !lost.empty() || PQexitPipelineMode(conn) != 1 || PQstatus(conn) != CONNECTION_OK) {
    if (lost.empty()) lost = FirstLine(PQerrorMessage(conn));
    DropSession();
    throw LostFailure(std::string(WithoutLabel(lost)));
  }
  return true;
}

std::optional<connectors::Refused> PostgresConnection::RunWrites(
    const std::vector<std::string>& statements) {
  if (!IsOpen()) {
    if (inRun_) throw LostFailure("the run's transaction ended with it");
    return connectors::RunEachAlone(*this, statements);  // reopens the session
  }
  std::optional<connectors::Refused> refused;
  const bool pipelined = Pipeline(statements, [&refused](std::size_t i, PGresult* result) {
    if (!refused && PQresultStatus(result) == PGRES_FATAL_ERROR) {
      refused =
          connectors::Refused{i, PostgresFailure(ServerMessage(PQresultErrorMessage(result)))};
    }
  });
  return pipelined ? refused : connectors::RunEachAlone(*this, statements);
}

std::vector<std::shared_ptr<connectors::SnapshotRecordset>> PostgresConnection::RunQueries(
    const std::vector<std::string>& queries) {
  std::vector<std::shared_ptr<connectors::SnapshotRecordset>> answers(queries.size());
  if (!IsOpen() || inRun_) return answers;  // a refusal must not fail the run's transaction
  Pipeline(queries, [&answers](std::size_t i, PGresult* result) {
    if (PQresultStatus(result) != PGRES_TUPLES_OK) return;
    std::vector<std::string> names;
    for (int c = 0; c < PQnfields(result); ++c) names.emplace_back(PQfname(result, c));
    std::vector<connectors::SnapshotRecordset::Row> rows(
        static_cast<std::size_t>(PQntuples(result)));
    try {
      for (int r = 0; r < PQntuples(result); ++r) {
        for (int c = 0; c < PQnfields(result); ++c) {
          rows[static_cast<std::size_t>(r)].push_back(
              ValueOf(PQftype(result, c),
                      std::string_view(PQgetvalue(result, r, c),
                                       static_cast<std::size_t>(PQgetlength(result, r, c))),
                      PQgetisnull(result, r, c) != 0));
        }
      }
    } catch (const Failure&) {
      return;  // a value the component cannot hold: it meets the failure itself
    }
    answers[i] = std::make_shared<connectors::SnapshotRecordset>(
        connectors::SnapshotRecordset::Options{kPostgresSource}, std::move(names), std::move(rows));
  });
  return answers;
}

}  // namespace oq::postgres
