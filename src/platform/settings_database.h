#pragma once

// The SQLite file of a settings store as its own code reaches it: one connection, statements whose
// parameters are all texts. Only settings_store*.cpp include it.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_store.h"

namespace oq {

// What SQLite reported, held apart from Failure until the store has decided whether the file is
// damaged (and so set aside) or the call has failed.
struct DatabaseError {
  int code;  // the primary result code
  std::string message;
};

// An SQLite connection owned: closed when it goes.
struct CloseSqlite {
  void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using SqliteHandle = std::unique_ptr<sqlite3, CloseSqlite>;

class SettingsStore::Database {
 public:
  // One prepared statement whose parameters are all texts.
  class Statement {
   public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
      sqlite3_stmt* statement = nullptr;
      Check(sqlite3_prepare_v2(db, sql, -1, &statement, nullptr));
      statement_.reset(statement);
    }
    // Binds `params` in order and runs the statement to its end: the first column of its first
    // row, if it has one. The statement can be run again.
    std::optional<std::string> Run(std::initializer_list<std::string_view> params) {
      std::optional<std::string> first;
      Each(params, 1, [&first](std::vector<std::string>& row) {
        if (!first && !row.empty()) first = std::move(row[0]);
      });
      return first;
    }
    // Binds `params` in order and calls `row` with the texts of each row's first `columns`
    // columns (fewer when the statement has fewer).
    void Each(std::initializer_list<std::string_view> params, int columns,
              const std::function<void(std::vector<std::string>&)>& row) {
      sqlite3_stmt* statement = statement_.get();
      sqlite3_reset(statement);
      int index = 0;
      for (std::string_view param : params) {
        // The texts outlive the run, so SQLite need not copy them (a null destructor).
        Check(sqlite3_bind_text64(statement, ++index, param.data(), param.size(), nullptr,
                                  SQLITE_UTF8));
      }
      for (int rc; (rc = sqlite3_step(statement)) != SQLITE_DONE;) {
        if (rc != SQLITE_ROW) Check(rc);
        std::vector<std::string> texts;
        for (int c = 0; c < std::min(columns, sqlite3_column_count(statement)); ++c) {
          const auto* text = static_cast<const char*>(sqlite3_column_blob(statement, c));
          texts.emplace_back(text != nullptr ? text : "",
                             static_cast<std::size_t>(sqlite3_column_bytes(statement, c)));
        }
        row(texts);
      }
    }

   private:
    void Check(int rc) const {
      if (rc != SQLITE_OK) throw DatabaseError{rc & 0xff, sqlite3_errmsg(db_)};
    }
    struct Finalize {
      void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
    };
    sqlite3* db_;
    std::unique_ptr<sqlite3_stmt, Finalize> statement_;
  };

  Database(const std::filesystem::path& file, std::chrono::milliseconds lockWait) {
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    db_.reset(db);
    if (rc != SQLITE_OK) throw DatabaseError{rc & 0xff, db ? sqlite3_errmsg(db) : "out of memory"};
    sqlite3_busy_timeout(db, static_cast<int>(lockWait.count()));
  }

  Statement Prepare(const char* sql) { return Statement(db_.get(), sql); }
  std::optional<std::string> Run(const char* sql, std::initializer_list<std::string_view> params) {
    return Prepare(sql).Run(params);
  }

 private:
  SqliteHandle db_;
};

}  // namespace oq
