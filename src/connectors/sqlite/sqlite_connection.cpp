#include "connectors/sqlite/sqlite_connection.h"

#include <sqlite3.h>

#include <array>
#include <cctype>
#include <filesystem>
#include <limits>
#include <string_view>
#include <thread>
#include <vector>

#include "connectors/common/packed_rows.h"
#include "connectors/common/snapshot_recordset.h"
#include "connectors/common/sql_scan.h"
#include "connectors/sqlite/left_translation.h"
#include "host/failure.h"

namespace oq::sqlite {

namespace {

// Pragma values are spliced into statement text, so only the known words may pass.
std::string CheckedWord(const std::string& value, std::initializer_list<std::string_view> allowed,
                        const char* what) {
  const std::string word = connectors::AsciiUpper(value);
  if (std::find(allowed.begin(), allowed.end(), word) == allowed.end()) {
    throw Failure(kSqliteErrorNumber, std::string("unknown ") + what + " '" + value + "'", kSource);
  }
  return word;
}

Variant IntegerVariant(sqlite3_int64 value) {
  if (value >= std::numeric_limits<std::int32_t>::min() &&
      value <= std::numeric_limits<std::int32_t>::max()) {
    return Variant::Long(static_cast<std::int32_t>(value));
  }
  return Variant::LongLong(value);
}

void AddColumnValue(connectors::PackedRows& rows, sqlite3_stmt* statement, int column) {
  // The column's value is found once and read through it: each sqlite3_column_* call finds it
  // anew, and a copy reads every cell of its items. Reading an unprotected value this way is not
  // thread-safe, which a connection used by one thread at a time never needs.
  sqlite3_value* const value = sqlite3_column_value(statement, column);
  switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
      return rows.Add(IntegerVariant(sqlite3_value_int64(value)));
    // The text form of a REAL keeps only 15 significant digits; the double keeps them all.
    case SQLITE_FLOAT:
      return rows.Add(Variant::Double(sqlite3_value_double(value)));
    case SQLITE_NULL:
      return rows.Add(Variant::Null());
    default: {
      const auto* bytes = static_cast<const char*>(sqlite3_value_blob(value));
      const int size = sqlite3_value_bytes(value);
      return rows.AddText(bytes == nullptr
                              ? std::string_view()
                              : std::string_view(bytes, static_cast<std::size_t>(size)));
    }
  }
}

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

// A kept statement is reset after each use, however the use ends, so that it holds no lock and
// can run again; its values are unbound, since they point into the connection's lifted_.
struct ResetOnExit {
  sqlite3_stmt* statement;
  ~ResetOnExit() {
    if (statement == nullptr) return;
    sqlite3_reset(statement);
    sqlite3_clear_bindings(statement);
  }
};

// Binds the lifted literals in order; false when SQLite refuses one.
bool BindLifted(sqlite3_stmt* statement, const std::vector<connectors::LiftedLiteral>& literals) {
  if (sqlite3_bind_parameter_count(statement) != static_cast<int>(literals.size())) return false;
  int index = 0;
  for (const connectors::LiftedLiteral& literal : literals) {
    ++index;
    int rc;
    if (literal.kind == connectors::LiftedLiteral::Kind::kInteger) {
      // At most 18 digits and a sign: always a 64-bit integer, as the literal was.
      rc = sqlite3_bind_int64(statement, index, std::stoll(literal.text));
    } else {
      // An empty text is bound from a non-null pointer, which SQLite keeps apart from NULL.
      rc = sqlite3_bind_text(statement, index, literal.text.data(),
                             static_cast<int>(literal.text.size()), SQLITE_STATIC);
    }
    if (rc != SQLITE_OK) return false;
  }
  return true;
}

// Whether `rest` holds nothing but blanks, semicolons and comments: no further statement.
bool NothingMore(std::string_view rest) {
  for (std::size_t i = 0; i < rest.size();) {
    const auto c = static_cast<unsigned char>(rest[i]);
    if (std::isspace(c) != 0 || c == ';') {
      ++i;
    } else if (rest.substr(i, 2) == "--" || rest.substr(i, 2) == "/*") {
      i = connectors::SkipToken(rest, i, connectors::QuotedNames::kDoubleQuotes);
    } else {
      return false;
    }
  }
  return true;
}

// SQLite counts every allocation it makes under a lock of its own, for statistics nothing here
// reads; a copy makes millions of them. The setting can only change before SQLite starts, which
// any part of the process may make it do (the settings store opens its file first), so it is set
// as the program loads, before anything runs. Where SQLite has started already it stays as it is.
[[maybe_unused]] const int kAllocationStatisticsOff = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);

}  // namespace

struct SqliteConnection::Prepared {
  StatementPtr statement;  // null for a text with no statement at all
};

std::string LibraryVersion() { return sqlite3_libversion(); }

std::shared_ptr<SqliteConnection> SqliteConnection::Open(const std::string& path,
                                                         const OpenOptions& options) {
  const std::string journal =
      options.journalMode.empty()
          ? std::string()
          : CheckedWord(options.journalMode,
                        {"DELETE", "TRUNCATE", "PERSIST", "MEMORY", "WAL", "OFF"}, "journal mode");
  const std::string synchronous =
      options.synchronous.empty()
          ? std::string()
          : CheckedWord(options.synchronous, {"OFF", "NORMAL", "FULL", "EXTRA"},
                        "synchronous level");

  // A connection is used by one thread at a time: SQLite's own lock around every call is not
  // needed (distinct connections may still be used from distinct threads).
  int flags =
      (options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
  if (options.createIfMissing && !options.readOnly) flags |= SQLITE_OPEN_CREATE;
  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  if (rc != SQLITE_OK) {
    std::string message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    sqlite3_close_v2(db);
    throw Failure(kSqliteErrorNumber, message + ": " + path, kSource);
  }
  // The handle is owned from here on, so a failing pragma closes it through the destructor.
  auto connection = std::make_shared<SqliteConnection>(Key{}, db, path);
  sqlite3_extended_result_codes(db, 1);
  connection->busyTimeout_ = options.busyTimeout;
  sqlite3_busy_handler(db, &SqliteConnection::OnBusy, connection.get());
  // A read-only handle cannot change the journal mode; it reads whatever the file uses.
  if (!journal.empty() && !options.readOnly)
    connection->ExecDirect("PRAGMA journal_mode=" + journal);
  if (!synchronous.empty()) connection->ExecDirect("PRAGMA synchronous=" + synchronous);
  return connection;
}

int SqliteConnection::OnBusy(void* self, int attempt) {
  auto& connection = *static_cast<SqliteConnection*>(self);
  const auto now = std::chrono::steady_clock::now();
  if (attempt == 0) {
    connection.waitStarted_ = now;
    connection.waitNoticed_ = false;
  }
  const auto waited = now - connection.waitStarted_;
  if (waited >= connection.busyTimeout_) return 0;
  if (!connection.waitNoticed_ && waited >= std::chrono::seconds(1) && connection.waitNotice_) {
    connection.waitNoticed_ = true;
    connection.waitNotice_("waiting for another program to finish writing to " + connection.path_ +
                           " (for at most " +
                           std::to_string(connection.busyTimeout_.count() / 1000) + " s)");
  }
  // Short sleeps first, as SQLite's own handler does: most locks are held for milliseconds.
  static constexpr std::array<int, 8> kSleepsMs = {1, 2, 5, 10, 15, 20, 25, 50};
  const int sleep = kSleepsMs[std::min<std::size_t>(attempt, kSleepsMs.size() - 1)];
  std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
      std::chrono::milliseconds(sleep), connection.busyTimeout_ - waited));
  return 1;
}

SqliteConnection::SqliteConnection(Key /*unused*/, sqlite3* db, std::string path)
    : db_(db), path_(std::move(path)) {}

SqliteConnection::~SqliteConnection() {
  DropKept();
  sqlite3_close_v2(db_);
}

void SqliteConnection::DropKept() noexcept {
  for (const auto& [text, statement] : kept_) sqlite3_finalize(statement);
  kept_.clear();
  seen_.clear();
}

void SqliteConnection::SetReusePrepared(bool on) {
  reuse_ = on;
  if (!on) DropKept();
}

std::optional<connectors::Refused> SqliteConnection::RunWrites(
    const std::vector<std::string>& statements) {
  return connectors::RunEachAlone(*this, statements);
}

std::vector<std::shared_ptr<connectors::SnapshotRecordset>> SqliteConnection::RunQueries(
    const std::vector<std::string>& queries) {
  std::vector<std::shared_ptr<connectors::SnapshotRecordset>> answers;
  for (const std::string& query : queries) {
    Variant rows;
    put_sql(query);
    try {
      crearrs(rows);
      answers.push_back(std::dynamic_pointer_cast<connectors::SnapshotRecordset>(rows.asObject()));
    } catch (const Failure&) {
      answers.emplace_back();
    }
  }
  return answers;
}

sqlite3_stmt* SqliteConnection::Statement(const std::string& text, Prepared& fresh) {
  if (const auto kept = kept_.find(text); kept != kept_.end()) return kept->second;
  fresh = PrepareOne(TranslateLeftCalls(text));
  if (!reuse_ || fresh.statement == nullptr) return fresh.statement.get();
  // Only the hash of a text seen once is remembered: most texts (an item's insert) never come
  // again. A collision only keeps a statement that did not need keeping.
  if (seen_.size() > 100000) seen_.clear();
  if (seen_.insert(std::hash<std::string>{}(text)).second || kept_.size() >= kKeptStatements) {
    return fresh.statement.get();
  }
  sqlite3_stmt* const statement = fresh.statement.release();
  kept_.emplace(text, statement);
  return statement;
}

void SqliteConnection::ThrowEngineError() const {
  throw Failure(kSqliteErrorNumber, sqlite3_errmsg(db_), kSource);
}

void SqliteConnection::ExecDirect(const std::string& pragma) {
  char* message = nullptr;
  if (sqlite3_exec(db_, pragma.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
    std::string text = message != nullptr ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    throw Failure(kSqliteErrorNumber, text, kSource);
  }
}

void SqliteConnection::BeginRun() {
  EndReads();
  ExecDirect("BEGIN IMMEDIATE");
}

void SqliteConnection::CommitRun() {
  try {
    ExecDirect("COMMIT");
  } catch (const Failure&) {
    RollbackRun();
    throw;
  }
}

void SqliteConnection::RollbackRun() noexcept {
  if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqliteConnection::HoldReads() {
  if (readsHeld_ || sqlite3_get_autocommit(db_) == 0) return;
  ExecDirect("BEGIN");
  readsHeld_ = true;
}

void SqliteConnection::EndReads() noexcept {
  if (!readsHeld_) return;
  readsHeld_ = false;
  // Nothing was written in it: the commit only lets the shared lock go.
  if (sqlite3_get_autocommit(db_) == 0 &&
      sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
    RollbackRun();
  }
}

void SqliteConnection::LockNumber(const std::string& /*number*/) {}

std::string SqliteConnection::DatabaseIdentity() {
  std::error_code error;
  const std::filesystem::path canonical = std::filesystem::weakly_canonical(path_, error);
  if (error) throw Failure(kSqliteErrorNumber, error.message() + ": " + path_, kSource);
  return "sqlite:" + canonical.string();
}

void SqliteConnection::SetWaitNotice(std::function<void(const std::string&)> notice) {
  waitNotice_ = std::move(notice);
}

SqliteConnection::Prepared SqliteConnection::PrepareOne(const std::string& text) {
  const char* tail = text.c_str();
  const char* const end = text.c_str() + text.size();
  while (tail < end) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, tail, static_cast<int>(end - tail), &raw, &tail) != SQLITE_OK) {
      ThrowEngineError();
    }
    if (raw == nullptr) continue;  // an empty statement (a lone semicolon)
    Prepared prepared{StatementPtr(raw)};
    const std::string_view rest(tail, static_cast<std::size_t>(end - tail));
    if (!NothingMore(rest)) {
      throw Failure(kSqliteErrorNumber,
                    std::string(kOneStatementOnly) + ": the text goes on after the first one ('" +
                        std::string(rest.substr(0, 60)) + "')",
                    kSource);
    }
    return prepared;
  }
  return Prepared{};
}

void SqliteConnection::put_sql(const std::string& text) { sql_ = text; }

sqlite3_stmt* SqliteConnection::StatementForSql(Prepared& fresh) {
  if (reuse_) {
    // Lifted before translation, so that a kept statement is found by its shape as written.
    if (const std::string* shape = lifting_.Lift(sql_, lifted_)) {
      sqlite3_stmt* statement = nullptr;
      try {
        statement = Statement(*shape, fresh);
      } catch (const Failure&) {
        // The text as written fails with the engine's own words about it, below.
      }
      if (statement != nullptr && BindLifted(statement, lifted_)) return statement;
      if (statement != nullptr) sqlite3_clear_bindings(statement);
      fresh = Prepared{};
    }
  }
  return Statement(sql_, fresh);
}

Variant SqliteConnection::crearrs(Variant& recordset) {
  Prepared fresh;
  sqlite3_stmt* const raw = StatementForSql(fresh);
  const ResetOnExit reset{raw};
  std::vector<std::string> names;
  const int columns = raw != nullptr ? sqlite3_column_count(raw) : 0;
  auto rows = std::make_shared<connectors::PackedRows>(static_cast<std::size_t>(columns));
  if (raw != nullptr) {
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
      for (int c = 0; c < columns; ++c) AddColumnValue(*rows, raw, c);
    }
    if (rc != SQLITE_DONE) ThrowEngineError();
    for (int c = 0; c < columns; ++c) names.emplace_back(sqlite3_column_name(raw, c));
  }
  const std::size_t rowCount = rows->rowCount();
  recordset = Variant::Object(std::make_shared<connectors::SnapshotRecordset>(
      connectors::SnapshotRecordset::Options{kSource, true}, std::move(names), rowCount,
      connectors::PackedRows::Reader(std::move(rows))));
  return Variant::Boolean(rowCount > 0);
}

Variant SqliteConnection::ejecutar() {
  EndReads();  // a write goes on its own, as if no reads were held
  Prepared fresh;
  sqlite3_stmt* const raw = StatementForSql(fresh);
  if (raw == nullptr) return IntegerVariant(0);
  const ResetOnExit reset{raw};
  const sqlite3_int64 before = sqlite3_total_changes64(db_);
  int rc;
  while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE) ThrowEngineError();
  // sqlite3_changes64 keeps the count of the last DML statement even after a statement that
  // changes nothing (DDL, a query), so it is read only when this statement changed rows.
  return IntegerVariant(sqlite3_total_changes64(db_) != before ? sqlite3_changes64(db_) : 0);
}

}  // namespace oq::sqlite
