#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

struct sqlite3;

namespace oq::bench {

// The connection settings a measurement opens its databases with: the journal mode and the
// synchronous level, written as SQLite's pragmas take them ("wal", "normal"...). Empty keeps the
// library's default.
struct SqliteSettings {
  std::string journalMode = "";
  std::string synchronous = "";
};

// A bare SQLite connection, used for the floors: statements go straight to the C API, with none of
// the component's layers in between. Every call throws std::runtime_error with SQLite's message
// when the database refuses a statement. Not thread-safe; one owner.
class RawDb {
 public:
  // Opens (creating if needed) `file` and applies `settings`.
  RawDb(const std::filesystem::path& file, const SqliteSettings& settings);
  ~RawDb();
  RawDb(const RawDb&) = delete;
  RawDb& operator=(const RawDb&) = delete;

  // Runs one statement, stepping it to completion,
  // and returns sqlite3_changes() of the last one.
  std::int64_t Exec(const std::string& sql);
  // Runs several statements separated by ';' (schema scripts).
  void ExecScript(const std::string& sql);

  // Runs a query and reads every column of every row, as a record set that copies the result
  // would: texts and blobs are touched through their bytes, numbers through their typed value.
  // Returns the number of rows.
  std::int64_t Query(const std::string& sql);

  // The first column of the first row as an integer (0 when there is no row).
  std::int64_t ScalarInt(const std::string& sql);
  // The first column of the first row as a double (0 when there is no row or it is NULL).
  double ScalarDouble(const std::string& sql);

  sqlite3* handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace oq::bench
