#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "connectors/common/literal_lifting.h"
#include "connectors/common/round_trips.h"
#include "connectors/common/transaction_control.h"
#include "host/host_connection.h"
#include "host/variant.h"

struct sqlite3;
struct sqlite3_stmt;

namespace oq::sqlite {

// Every error the SQLite engine reports becomes a Failure with this number, the engine's own
// message (sqlite3_errmsg) as description and source kSource. The number is the generic
// "unspecified error" code that database drivers report, so hosts see one stable value whatever
// SQLite's internal result code was.
inline constexpr std::int32_t kSqliteErrorNumber = -2147467259;
inline constexpr const char* kSource = "SQLite";

// The version of the SQLite library in use ("3.40.1").
std::string LibraryVersion();

// How a database file is opened.
struct OpenOptions {
  // Create the file (and an empty database) when it does not exist; otherwise a missing file is
  // a Failure.
  bool createIfMissing = false;
  // How long a statement waits for another connection's lock before it fails with "database is
  // locked". Two programs copying into one database then take turns instead of failing.
  std::chrono::milliseconds busyTimeout{30000};
  // PRAGMA journal_mode, or empty to leave the file's own mode alone. The mode sticks to the file
  // for every later user, and WAL does not work on network file systems, so a database that
  // belongs to someone else keeps its mode unless its owner asks. DELETE, TRUNCATE, PERSIST,
  // MEMORY, WAL or OFF.
  std::string journalMode = "";
  // PRAGMA synchronous for this connection, or empty for SQLite's default (FULL). OFF, NORMAL,
  // FULL or EXTRA.
  std::string synchronous = "";
  // Open for reading only: every statement that would write fails with SQLite's "attempt to write
  // a readonly database", whoever the user is.
  bool readOnly = false;
};

// Every call runs exactly one statement: a text that holds a second statement after the first
// (blanks, comments and semicolons aside) is refused whole, before anything runs, with this text
// in the Failure's description. No value spliced into a statement can add a statement of its own.
inline constexpr const char* kOneStatementOnly = "only one statement may be sent at a time";

// A host connection over one SQLite database file. Statements run in autocommit mode, one per
// call, exactly as given except that `left(x, n)` calls are rewritten for SQLite (see
// left_translation.h), unless a host opened a run's transaction (TransactionControl). Used from
// one thread at a time; distinct connections may be used from distinct threads.
class SqliteConnection : public HostConnection,
                         public connectors::TransactionControl,
                         public connectors::RoundTrips {
 public:
  // Opens `path` with `options`. Throws Failure (kSqliteErrorNumber, source "SQLite") when the
  // file cannot be opened, is missing and may not be created, or refuses the pragmas; an invalid
  // journal mode or synchronous level is a Failure too.
  static std::shared_ptr<SqliteConnection> Open(const std::string& path,
                                                const OpenOptions& options = {});

  // Only Open creates connections; the key keeps the constructor usable by std::make_shared.
  class Key {
    friend class SqliteConnection;
    Key() = default;
  };
  SqliteConnection(Key key, sqlite3* db, std::string path);
  ~SqliteConnection() override;

  void put_sql(const std::string& text) override;

  // Runs the statement. The record set left in `recordset` is an in-memory snapshot of its rows
  // (an empty record set when it returns no columns), fully read before this returns. Result:
  // Boolean true (-1) exactly when that record set has a row. INTEGER values come back as Long when
  // they fit in 32 bits, else LongLong; REAL as Double; TEXT and BLOB as String; NULL as Null. On
  // failure `recordset` is left as it was.
  Variant crearrs(Variant& recordset) override;

  // Runs the statement and returns the number of rows an INSERT, UPDATE or DELETE changed (rows
  // changed by triggers not counted; 0 for other statements), as a Long (LongLong beyond 32
  // bits). Rows a query returns are discarded.
  Variant ejecutar() override;

  // BEGIN IMMEDIATE: the run takes the database's write lock at once, waiting at most the busy
  // timeout for another writer's run to end. Runs on one database file therefore take turns,
  // which is also what makes LockNumber a no-op here.
  void BeginRun() override;
  void CommitRun() override;
  void RollbackRun() noexcept override;
  void LockNumber(const std::string& number) override;
  // The file's canonical path.
  std::string DatabaseIdentity() override;
  // Called once per wait, when a statement has waited a second for another connection's lock.
  void SetWaitNotice(std::function<void(const std::string& what)> notice) override;

  // On (the default): up to kKeptStatements texts stay prepared, and a statement's literals are
  // sent as bound values where that means the same (literal_lifting.h), so the statements a copy
  // repeats with other values are parsed once. Off: every text is prepared as it is.
  void SetReusePrepared(bool on) override;
  static constexpr std::size_t kKeptStatements = 256;
  // A file has no round trips to spare: the writes run one by one.
  bool Pipelines() const override { return false; }
  std::optional<connectors::Refused> RunWrites(const std::vector<std::string>& statements) override;
  std::vector<std::shared_ptr<connectors::SnapshotRecordset>> RunQueries(
      const std::vector<std::string>& queries) override;
  // A deferred transaction that writes nothing: the file's shared lock is taken by the first
  // query and kept until EndReads. Does nothing inside a transaction already open.
  void HoldReads() override;
  void EndReads() noexcept override;

  // The statement text as it was set (before translation).
  const std::string& sql() const { return sql_; }
  const std::string& path() const { return path_; }

 private:
  [[noreturn]] void ThrowEngineError() const;
  void ExecDirect(const std::string& pragma);
  // The one statement of the text set through put_sql, prepared; refuses a second one.
  struct Prepared;
  Prepared PrepareOne(const std::string& text);
  // The statement for `text` (as set, before translation): a kept one, or `fresh` prepared now
  // (and kept when the text came before).
  sqlite3_stmt* Statement(const std::string& text, Prepared& fresh);
  // The statement for the text set through put_sql, with its lifted literals bound; they stay in
  // lifted_ until the next call.
  sqlite3_stmt* StatementForSql(Prepared& fresh);
  void DropKept() noexcept;
  // SQLite's busy handler: waits in short sleeps up to the timeout, and says so after a second.
  static int OnBusy(void* self, int attempt);

  sqlite3* db_;
  std::string path_;
  std::string sql_;
  std::chrono::milliseconds busyTimeout_{0};
  std::chrono::steady_clock::time_point waitStarted_;
  bool waitNoticed_ = false;
  std::function<void(const std::string&)> waitNotice_;
  bool reuse_ = true;
  std::unordered_set<std::size_t> seen_;  // hashes of the texts prepared once
  std::unordered_map<std::string, sqlite3_stmt*> kept_;
  connectors::Lifting lifting_{{connectors::LiftingRules::Engine::kSqlite}};
  std::vector<connectors::LiftedLiteral> lifted_;  // bound to the statement running
  bool readsHeld_ = false;
};

}  // namespace oq::sqlite
