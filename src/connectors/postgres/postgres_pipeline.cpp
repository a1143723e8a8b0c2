// The PostgreSQL connection's batches (connectors::RoundTrips), in libpq's pipeline mode.
#include <libpq-fe.h>

#include <algorithm>

#include "connectors/common/literal_lifting.h"
#include "connectors/postgres/bracket_names.h"
#include "connectors/postgres/postgres_connection.h"
#include "connectors/postgres/postgres_recordset.h"
#include "connectors/postgres/server_messages.h"

namespace oq::postgres {

namespace {

// Notes the first statement the server refused.
auto FirstRefused(std::optional<connectors::Refused>& refused) {
  return [&refused](std::size_t i, PGresult* result) {
    if (!refused && PQresultStatus(result) == PGRES_FATAL_ERROR) {
      refused =
          connectors::Refused{i, PostgresFailure(ServerMessage(PQresultErrorMessage(result)))};
    }
  };
}

// A query's rows as crearrs leaves them; null for a refused query, or a value the component
// cannot hold (it meets that failure itself when it sends the query).
std::shared_ptr<connectors::SnapshotRecordset> AnswerOf(PGresult* result) {
  if (PQresultStatus(result) != PGRES_TUPLES_OK) return nullptr;
  std::vector<std::string> names;
  for (int c = 0; c < PQnfields(result); ++c) names.emplace_back(PQfname(result, c));
  std::vector<connectors::SnapshotRecordset::Row> rows(static_cast<std::size_t>(PQntuples(result)));
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
    return nullptr;
  }
  return std::make_shared<connectors::SnapshotRecordset>(
      connectors::SnapshotRecordset::Options{kPostgresSource}, std::move(names), std::move(rows));
}

}  // namespace

bool PostgresConnection::EnterPipeline() {
  PGconn* const conn = RawHandle();
  if (conn == nullptr) return false;
  return PQpipelineStatus(conn) != PQ_PIPELINE_OFF || PQenterPipelineMode(conn) == 1;
}

void PostgresConnection::SendBatch(const std::vector<std::string>& statements, std::size_t from,
                                   std::size_t to) {
  PGconn* const conn = RawHandle();
  SentBatch batch;
  batch.first = from;
  // Each statement is its own extended-protocol query, as Run sends it; one sync at the end. A
  // refused one makes the server skip the rest up to the sync (and fails a transaction).
  std::vector<std::string> values;
  std::vector<const char*> pointers;
  bool sent = true;
  for (std::size_t i = from; i < to && sent; ++i) {
    std::string text = TranslateBracketNames(statements[i]);
    values.clear();
    std::string prepared;
    bool prepareNow = false;  // the prepared form is made in this batch, just before it
    if (reuse_) {
      if (const std::string* shape = Lifted(text, values)) text = *shape;
      if (const auto found = pipelinePrepared_.find(text); found != pipelinePrepared_.end()) {
        prepared = found->second;
      } else if (CameBefore(text)) {
        prepared = "oqp_" + std::to_string(++pipelineNames_);
        prepareNow = true;
        pipelinePrepared_.emplace(text, prepared);
      }
    }
    pointers.clear();
    for (const std::string& value : values) pointers.push_back(value.c_str());
    const int count = static_cast<int>(pointers.size());
    if (prepareNow) {
      sent = PQsendPrepare(conn, prepared.c_str(), text.c_str(), 0, nullptr) == 1;
      batch.queries.push_back({i - from, true});
    }
    sent =
        sent && (prepared.empty() ? PQsendQueryParams(conn, text.c_str(), count, nullptr,
                                                      pointers.data(), nullptr, nullptr, 0)
                                  : PQsendQueryPrepared(conn, prepared.c_str(), count,
                                                        pointers.data(), nullptr, nullptr, 0)) == 1;
    batch.queries.push_back({i - from, false});
    batch.texts.push_back(std::move(text));
  }
  if (!sent || PQpipelineSync(conn) != 1) Lost(PQerrorMessage(conn));
  sent_.push_back(std::move(batch));
}

bool PostgresConnection::ReadQuery(const std::function<void(std::size_t, PGresult*)>& answer) {
  PGconn* const conn = RawHandle();
  SentBatch& batch = sent_.front();
  PGresult* const result = PQgetResult(conn);
  if (result == nullptr) Lost(PQerrorMessage(conn));
  const ExecStatusType status = PQresultStatus(result);
  if (status == PGRES_FATAL_ERROR && PQstatus(conn) != CONNECTION_OK) {
    const std::string reason = PQresultErrorMessage(result);
    PQclear(result);
    Lost(reason);
  }
  if (status == PGRES_PIPELINE_SYNC || batch.next == batch.queries.size()) {
    PQclear(result);
    sent_.erase(sent_.begin());
    if (status != PGRES_PIPELINE_SYNC) Lost("the server's answers are out of step");
    return false;
  }
  const auto [statement, isPrepare] = batch.queries[batch.next++];
  if (!isPrepare) {
    answer(batch.first + statement, result);
  } else if (status != PGRES_COMMAND_OK) {
    // Not prepared: the statement is refused for the same reason, and says so itself when sent
    // again.
    pipelinePrepared_.erase(batch.texts[statement]);
    answer(batch.first + statement, result);
  }
  PQclear(result);
  // Each query's results end with a null one.
  if (PGresult* end = PQgetResult(conn)) PQclear(end);
  return true;
}

void PostgresConnection::LeavePipeline() {
  PGconn* const conn = RawHandle();
  if (conn != nullptr && (PQexitPipelineMode(conn) != 1 || PQstatus(conn) != CONNECTION_OK)) {
    Lost(PQerrorMessage(conn));
  }
}

void PostgresConnection::Lost(const std::string& reason) {
  DropSession();
  throw LostFailure(std::string(WithoutLabel(FirstLine(reason))));
}

bool PostgresConnection::Pipeline(const std::vector<std::string>& statements,
                                  const std::function<void(std::size_t, PGresult*)>& answer) {
  SettleWrites();
  if (!EnterPipeline()) return false;
  // The next batch goes out while the server answers the one before, so that neither side waits
  // for the other; one batch's answers at most wait in the buffers.
  for (std::size_t from = 0; from < statements.size(); from += kMaxBatch) {
    SendBatch(statements, from, std::min(statements.size(), from + kMaxBatch));
    if (sent_.size() > 1) ReadBatch(answer);
  }
  while (!sent_.empty()) ReadBatch(answer);
  LeavePipeline();
  return true;
}

std::optional<connectors::Refused> PostgresConnection::RunWrites(
    const std::vector<std::string>& statements) {
  if (!IsOpen()) {
    if (inRun_) throw LostFailure("the run's transaction ended with it");
    return connectors::RunEachAlone(*this, statements);  // reopens the session
  }
  std::optional<connectors::Refused> refused;
  const bool pipelined = Pipeline(statements, FirstRefused(refused));
  return pipelined ? refused : connectors::RunEachAlone(*this, statements);
}

std::optional<connectors::Refused> PostgresConnection::SendWrites(
    const std::vector<std::string>& statements) {
  // Outside a run's transaction a statement after a refused one would be kept.
  if (!inRun_ || !IsOpen() || !EnterPipeline()) return RunWrites(statements);
  std::optional<connectors::Refused> refused;
  for (std::size_t from = 0; from < statements.size(); from += kMaxBatch) {
    SendBatch(statements, from, std::min(statements.size(), from + kMaxBatch));
    // The server works through the batches in flight while the caller builds the next; the
    // oldest are read once more than kMaxBatch statements are on their way.
    while (sent_.size() > 1 && StatementsInFlight() > kMaxBatch) {
      ReadBatch(FirstRefused(refused));
    }
  }
  return refused;
}

std::size_t PostgresConnection::StatementsInFlight() const {
  std::size_t count = 0;
  for (const SentBatch& batch : sent_) count += batch.texts.size();
  return count;
}

std::optional<connectors::Refused> PostgresConnection::FinishWrites() {
  PGconn* const conn = RawHandle();
  if (conn == nullptr || PQpipelineStatus(conn) == PQ_PIPELINE_OFF) return std::nullopt;
  std::optional<connectors::Refused> refused;
  while (!sent_.empty()) {
    if (sent_.front().asked) {
      ReadBatch([](std::size_t, PGresult*) {});
    } else {
      ReadBatch(FirstRefused(refused));
    }
  }
  asked_.clear();
  askedSent_ = 0;
  LeavePipeline();
  return refused;
}

bool PostgresConnection::AskAhead(const std::vector<std::string>& queries) {
  if (!IsOpen() || inRun_ || queries.empty()) return false;
  SettleWrites();
  if (!EnterPipeline()) return false;
  asked_ = queries;
  askedSent_ = 0;
  SendAhead();
  return true;
}

void PostgresConnection::SendAhead() {
  while (askedSent_ < asked_.size() && sent_.size() < 2) {
    const std::size_t to = std::min(asked_.size(), askedSent_ + kMaxBatch);
    SendBatch(asked_, askedSent_, to);
    sent_.back().asked = true;
    askedSent_ = to;
  }
}

std::shared_ptr<connectors::SnapshotRecordset> PostgresConnection::NextAnswer() {
  std::shared_ptr<connectors::SnapshotRecordset> rows;
  const auto take = [&rows](std::size_t, PGresult* result) { rows = AnswerOf(result); };
  while (!sent_.empty() && sent_.front().asked) {
    if (!ReadQuery(take)) {
      SendAhead();
      continue;
    }
    // A failed prepare is answered too; the statement's own answer follows it.
    const SentBatch& batch = sent_.front();
    if (!batch.queries[batch.next - 1].second) return rows;
  }
  return nullptr;
}

void PostgresConnection::DropAnswers() { SettleWrites(); }

void PostgresConnection::SettleWrites() {
  if (const std::optional<connectors::Refused> refused = FinishWrites()) throw refused->failure;
}

std::vector<std::shared_ptr<connectors::SnapshotRecordset>> PostgresConnection::RunQueries(
    const std::vector<std::string>& queries) {
  std::vector<std::shared_ptr<connectors::SnapshotRecordset>> answers(queries.size());
  if (!IsOpen() || inRun_) return answers;  // a refusal must not fail the run's transaction
  Pipeline(queries, [&answers](std::size_t i, PGresult* result) { answers[i] = AnswerOf(result); });
  return answers;
}

}  // namespace oq::postgres
