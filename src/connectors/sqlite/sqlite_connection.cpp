#include "connectors/sqlite/sqlite_connection.h"

#include <sqlite3.h>

#include <array>
#include <limits>
#include <string_view>
#include <vector>

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

Variant ColumnValue(sqlite3_stmt* statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
    case SQLITE_INTEGER:
      return IntegerVariant(sqlite3_column_int64(statement, column));
    // The text form of a REAL keeps only 15 significant digits; the double keeps them all.
    case SQLITE_FLOAT:
      return Variant::Double(sqlite3_column_double(statement, column));
    case SQLITE_NULL:
      return Variant::Null();
    default: {
      const auto* bytes = static_cast<const char*>(sqlite3_column_blob(statement, column));
      const int size = sqlite3_column_bytes(statement, column);
      return Variant::String(bytes == nullptr ? std::string() : std::string(bytes, size));
    }
  }
}

struct StatementDeleter {
  void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementDeleter>;

}  // namespace

std::shared_ptr<SqliteConnection> SqliteConnection::Open(const std::string& path,
                                                         const OpenOptions& options) {
  const std::string journal =
      CheckedWord(options.journalMode, {"DELETE", "TRUNCATE", "PERSIST", "MEMORY", "WAL", "OFF"},
                  "journal mode");
  const std::string synchronous =
      CheckedWord(options.synchronous, {"OFF", "NORMAL", "FULL", "EXTRA"}, "synchronous level");

  int flags = options.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
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
  sqlite3_busy_timeout(db, static_cast<int>(std::min<long long>(options.busyTimeout.count(),
                                                                std::numeric_limits<int>::max())));
  // A read-only handle cannot change the journal mode; it reads whatever the file uses.
  if (!options.readOnly) connection->ExecDirect("PRAGMA journal_mode=" + journal);
  connection->ExecDirect("PRAGMA synchronous=" + synchronous);
  return connection;
}

SqliteConnection::SqliteConnection(Key /*unused*/, sqlite3* db, std::string path)
    : db_(db), path_(std::move(path)) {}

SqliteConnection::~SqliteConnection() { sqlite3_close_v2(db_); }

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

void SqliteConnection::BeginRun() { ExecDirect("BEGIN IMMEDIATE"); }

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

void SqliteConnection::LockNumber(const std::string& /*number*/) {}

void SqliteConnection::put_sql(const std::string& text) { sql_ = text; }

Variant SqliteConnection::crearrs(Variant& recordset) {
  const std::string text = TranslateLeftCalls(sql_);
  std::vector<std::string> names;
  std::vector<connectors::SnapshotRecordset::Row> rows;
  const char* tail = text.c_str();
  while (*tail != '\0') {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, tail, -1, &raw, &tail) != SQLITE_OK) ThrowEngineError();
    if (raw == nullptr) continue;  // blanks or a comment after the last statement
    StatementPtr statement(raw);
    const int columns = sqlite3_column_count(raw);
    std::vector<connectors::SnapshotRecordset::Row> statementRows;
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
      connectors::SnapshotRecordset::Row row;
      row.reserve(columns);
      for (int c = 0; c < columns; ++c) row.push_back(ColumnValue(raw, c));
      statementRows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) ThrowEngineError();
    if (columns > 0) {
      names.clear();
      for (int c = 0; c < columns; ++c) names.emplace_back(sqlite3_column_name(raw, c));
      rows = std::move(statementRows);
    }
  }
  const bool hasRows = !rows.empty();
  recordset = Variant::Object(std::make_shared<connectors::SnapshotRecordset>(
      connectors::SnapshotRecordset::Options{kSource, true}, std::move(names), std::move(rows)));
  return Variant::Boolean(hasRows);
}

Variant SqliteConnection::ejecutar() {
  const std::string text = TranslateLeftCalls(sql_);
  sqlite3_int64 changed = 0;
  const char* tail = text.c_str();
  while (*tail != '\0') {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, tail, -1, &raw, &tail) != SQLITE_OK) ThrowEngineError();
    if (raw == nullptr) continue;
    StatementPtr statement(raw);
    const sqlite3_int64 before = sqlite3_total_changes64(db_);
    int rc;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE) ThrowEngineError();
    // sqlite3_changes64 keeps the count of the last DML statement even after a statement that
    // changes nothing (DDL, a query), so it is read only when this statement changed rows.
    if (sqlite3_total_changes64(db_) != before) changed += sqlite3_changes64(db_);
  }
  return IntegerVariant(changed);
}

}  // namespace oq::sqlite
