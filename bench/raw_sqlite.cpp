#include "raw_sqlite.h"

#include <sqlite3.h>

#include <stdexcept>

namespace oq::bench {

namespace {

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw std::runtime_error(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

// A prepared statement that finalises itself, so a throw leaves nothing behind.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &stmt_, nullptr) !=
        SQLITE_OK) {
      Fail(db, "prepare " + sql.substr(0, 120));
    }
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  // True while a row is available.
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    Fail(db_, "step");
  }
  sqlite3_stmt* get() const { return stmt_; }

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace

RawDb::RawDb(const std::filesystem::path& file, const SqliteSettings& settings) {
  if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
      SQLITE_OK) {
    const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
    sqlite3_close(db_);
    throw std::runtime_error("open " + file.string() + ": " + message);
  }
  if (!settings.journalMode.empty()) Query("pragma journal_mode=" + settings.journalMode);
  if (!settings.synchronous.empty()) Exec("pragma synchronous=" + settings.synchronous);
}

RawDb::~RawDb() { sqlite3_close_v2(db_); }

std::int64_t RawDb::Exec(const std::string& sql) {
  Statement stmt(db_, sql);
  while (stmt.Step()) {
  }
  return sqlite3_changes64(db_);
}

void RawDb::ExecScript(const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    const std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw std::runtime_error("script: " + message);
  }
}

std::int64_t RawDb::Query(const std::string& sql) {
  Statement stmt(db_, sql);
  std::int64_t rows = 0;
  const int columns = sqlite3_column_count(stmt.get());
  // The sink keeps the reads from being optimised away.
  volatile std::int64_t sink = 0;
  while (stmt.Step()) {
    ++rows;
    for (int c = 0; c < columns; ++c) {
      switch (sqlite3_column_type(stmt.get(), c)) {
        case SQLITE_INTEGER:
          sink = sink + sqlite3_column_int64(stmt.get(), c);
          break;
        case SQLITE_FLOAT:
          sink = sink + static_cast<std::int64_t>(sqlite3_column_double(stmt.get(), c));
          break;
        case SQLITE_NULL:
          break;
        default:
          sink = sink + (sqlite3_column_text(stmt.get(), c) != nullptr) +
                 sqlite3_column_bytes(stmt.get(), c);
      }
    }
  }
  return rows;
}

std::int64_t RawDb::ScalarInt(const std::string& sql) {
  Statement stmt(db_, sql);
  return stmt.Step() ? sqlite3_column_int64(stmt.get(), 0) : 0;
}

double RawDb::ScalarDouble(const std::string& sql) {
  Statement stmt(db_, sql);
  return stmt.Step() ? sqlite3_column_double(stmt.get(), 0) : 0.0;
}

}  // namespace oq::bench
