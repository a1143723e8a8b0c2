#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <pqxx/result>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "connectors/common/literal_lifting.h"
#include "connectors/common/round_trips.h"
#include "connectors/common/transaction_control.h"
#include "host/failure.h"
#include "host/host_connection.h"

struct pg_conn;    // libpq's PGconn
struct pg_result;  // libpq's PGresult

namespace oq::postgres {

// Every failure of this connection carries this number (0x80004005, as database drivers report
// their errors) and the source "PostgreSQL"; the description tells what happened:
// - a statement the server refused: the server's message (its first line), followed by its
//   detail line in parentheses when the server sent one;
// - the connection lost: "Connection to the PostgreSQL server lost", then ": " and libpq's
//   reason when it gives one;
// - no connection could be made: "Cannot connect to the PostgreSQL server: " and libpq's reason.
inline constexpr std::int32_t kPostgresError = err::kDatabaseError;
inline constexpr const char* kPostgresSource = "PostgreSQL";

// The version of the libpq library in use ("15.8").
std::string LibraryVersion();

// True for the texts libpq takes as connection URIs: "postgresql://..." and "postgres://...".
bool IsPostgresUrl(std::string_view text);

// The key under which LockNumber locks `number`: the number without a trailing "_" and digits,
// so that the numbered copies of one run (4711_1 ... 4711_20000) share one lock. Two runs that
// create the same number always lock the same key; runs on related numbers may take turns.
std::string NumberLockKey(std::string_view number);

// The host connection to a PostgreSQL server. Each statement runs on its own, in autocommit,
// exactly as set through put_sql except that bracketed names ([001]) outside literals become
// quoted identifiers ("001"); see bracket_names.h. Server notices are not printed.
//
// Whatever the server's or the database's settings, a statement means what it says: every session
// sets standard_conforming_strings on (a backslash inside '...' is then a plain character) and
// checks that it took, and every statement goes through the extended protocol, which refuses a
// text that holds a second statement. A run's transaction reads committed data, whatever the
// default isolation, so a run that waited for a number's lock sees the other run's cover sheet.
//
// When the server ends the session (a restart, an administrator's termination, a network
// failure), the statement running fails with the "lost" failure at once; the next statement
// opens a new session with the same connection text, so a run can simply be repeated once the
// server is back. Nothing is retried on its own; inside a run's transaction (TransactionControl)
// a lost session is not reopened either: every statement fails with the "lost" failure until the
// host ends the run, so that nothing of the run is written outside its transaction. One thread at
// a time.
class PostgresConnection : public HostConnection,
                           public connectors::TransactionControl,
                           public connectors::RoundTrips {
 public:
  // Connects with `connectionText`: a URI ("postgresql://user@host:port/db?options"), a
  // "key=value" list, or "" for the defaults and the PGHOST, PGPORT, PGUSER, PGDATABASE,
  // PGPASSWORD... environment variables, as libpq reads them. Throws Failure (kPostgresError)
  // when no session can be opened.
  explicit PostgresConnection(std::string connectionText);
  ~PostgresConnection() override;

  void put_sql(const std::string& text) override;
  // The record set left in `recordset` is a MakeRecordset snapshot that does not need the
  // connection afterwards. On failure `recordset` is left as it was.
  Variant crearrs(Variant& recordset) override;
  // Returns the count the server reports for the statement (0 for statements without one), as a
  // Long, or a LongLong beyond 32 bits.
  Variant ejecutar() override;

  void BeginRun() override;
  // A transaction that a refused statement has already aborted is rolled back, and reported.
  void CommitRun() override;
  void RollbackRun() noexcept override;
  // A transaction-level advisory lock keyed by NumberLockKey(number) (pg_advisory_xact_lock),
  // taken once per key and transaction.
  void LockNumber(const std::string& number) override;
  // The server's system identifier and the database's name; where the server does not tell its
  // identifier, the host, port and database the session reached.
  std::string DatabaseIdentity() override;
  void SetWaitNotice(std::function<void(const std::string& what)> notice) override;

  // On (the default): a text that comes a second time is prepared on the server under a name of
  // its own (once per session) and run by that name from then on, up to kPreparedTexts texts;
  // and a statement's literals are sent as parameters where that means the same
  // (literal_lifting.h), so the statements a copy repeats with other values are planned once.
  // Off: every text is sent as it is.
  void SetReusePrepared(bool on) override;
  static constexpr std::size_t kPreparedTexts = 256;
  // Pipelines, in libpq's pipeline mode.
  bool Pipelines() const override { return true; }
  std::optional<connectors::Refused> RunWrites(const std::vector<std::string>& statements) override;
  // Inside a run's transaction, the statements stay in flight (the session in pipeline mode)
  // until FinishWrites, the next SendWrites, or any other call on the connection, which reads
  // their answers first and throws the failure of one refused.
  std::optional<connectors::Refused> SendWrites(
      const std::vector<std::string>& statements) override;
  std::optional<connectors::Refused> FinishWrites() override;
  // Two batches of the queries asked ahead are kept on their way to the server.
  bool AskAhead(const std::vector<std::string>& queries) override;
  std::shared_ptr<connectors::SnapshotRecordset> NextAnswer() override;
  void DropAnswers() override;
  // Pipelined too; outside a run's transaction only (none is answered inside one).
  std::vector<std::shared_ptr<connectors::SnapshotRecordset>> RunQueries(
      const std::vector<std::string>& queries) override;

  // True while a session with the server is open (false after it was lost, until the next
  // statement reopens it).
  bool IsOpen() const;

 private:
  struct Session;

  // A new session; throws the "cannot connect" Failure.
  static std::unique_ptr<Session> OpenSession(const std::string& connectionText);

  // Runs the statement set through put_sql on the open session, reopening it first if it was
  // lost. Converts every driver error to a Failure.
  pqxx::result Execute();
  // Runs `statement` as it is, on the session that is open; by `preparedName` when given; with
  // `values` for its parameters ($1, $2...) when given.
  pqxx::result Run(const std::string& statement, const std::string* preparedName = nullptr,
                   const std::vector<std::string>* values = nullptr);
  // Run, from the prepared form when the text came before.
  pqxx::result RunReusing(const std::string& statement,
                          const std::vector<std::string>* values = nullptr);
  // The shape of `text` with its literals' values put in `values`, while prepared statements are
  // reused (null: `text` goes as written).
  const std::string* Lifted(const std::string& text, std::vector<std::string>& values);
  // Whether `statement` came before in this session and may be prepared now.
  bool CameBefore(const std::string& statement);
  // Closes the session and forgets what was prepared in it.
  void DropSession();
  // libpq's handle of the open session (null when none).
  pg_conn* RawHandle() const;
  // Sends `statements` in pipeline mode, batch after batch, and hands each one's result to
  // `answer` with its index; false when the session does not take pipelining (nothing was sent).
  // Throws the "lost" Failure.
  bool Pipeline(const std::vector<std::string>& statements,
                const std::function<void(std::size_t, pg_result*)>& answer);

  // A batch sent in pipeline mode whose answers are not all read yet.
  struct SentBatch {
    std::size_t first = 0;           // the index of its first statement in the caller's list
    std::vector<std::string> texts;  // each statement's text or shape, as sent
    // Each query sent, in order: its statement's place in the batch, and whether it prepared it.
    std::vector<std::pair<std::size_t, bool>> queries;
    std::size_t next = 0;  // the query whose answer is read next
    bool asked = false;    // queries asked ahead, whose refusals are their readers' business
  };
  // The statements of the batches in sent_.
  std::size_t StatementsInFlight() const;
  // Whether the session is in pipeline mode (entering it if not).
  bool EnterPipeline();
  // Sends statements [from, to) and a sync, and notes the batch in sent_.
  void SendBatch(const std::vector<std::string>& statements, std::size_t from, std::size_t to);
  // Reads the answer to the next query of the oldest batch in sent_ and hands it to `answer`
  // with its statement's index (true), or reads the batch's sync, which ends it (false).
  bool ReadQuery(const std::function<void(std::size_t, pg_result*)>& answer);
  // Reads the answers of the oldest batch in sent_, handing each to `answer` with its index.
  void ReadBatch(const std::function<void(std::size_t, pg_result*)>& answer) {
    while (ReadQuery(answer)) {
    }
  }
  // Sends the next batch of the queries asked ahead, while fewer than two are on their way.
  void SendAhead();
  void LeavePipeline();
  // Reads what is still in flight and leaves pipeline mode, dropping the answers asked ahead;
  // throws the failure of a refused write. Before anything else the session does.
  void SettleWrites();
  // Drops the session and throws the "lost" Failure with `reason`.
  [[noreturn]] void Lost(const std::string& reason);

  // Whether the lock of `key` is free, taking it if so; with `wait`, waits for it.
  bool TakeLock(const std::string& key, bool wait);

  std::string connectionText_;
  std::string sql_;
  std::unique_ptr<Session> session_;
  bool inRun_ = false;
  std::set<std::string> lockedKeys_;  // held by the open run's transaction
  std::string identity_;
  std::function<void(const std::string&)> waitNotice_;
  bool reuse_ = true;
  std::unordered_set<std::size_t> seen_;                   // hashes of texts run once
  std::unordered_map<std::string, std::string> prepared_;  // text -> name, in this session
  // The same for the texts a pipeline prepared itself (libpqxx does not know of them).
  std::unordered_map<std::string, std::string> pipelinePrepared_;
  std::size_t pipelineNames_ = 0;   // names given, so that none is given twice in a session
  std::vector<SentBatch> sent_;     // in flight, oldest first
  std::vector<std::string> asked_;  // the queries asked ahead
  std::size_t askedSent_ = 0;       // how many of them are sent
  connectors::Lifting lifting_{{connectors::LiftingRules::Engine::kPostgres}};
};

}  // namespace oq::postgres
