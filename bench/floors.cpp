#include "floors.h"

#include <sqlite3.h>

#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "bench_db.h"
#include "connectors/common/literal_lifting.h"
#include "connectors/sqlite/left_translation.h"
#include "engine/copy_statements.h"
#include "engine/table_layouts.h"
#include "timing.h"

namespace oq::bench {

const char* NameOf(Mode mode) { return mode == Mode::kTransaction ? "transaction" : "autocommit"; }

StatementLog AsSqliteReceivesThem(const StatementLog& log) {
  StatementLog translated = log;
  for (SentStatement& statement : translated)
    statement.sql = sqlite::TranslateLeftCalls(statement.sql);
  return translated;
}

Sample RewriteTime(const StatementLog& log) {
  std::size_t sink = 0;
  Stopwatch clock;
  for (const SentStatement& statement : log)
    sink += sqlite::TranslateLeftCalls(statement.sql).size();
  const Sample time = clock.Elapsed();
  return sink > 0 ? time : Sample{};
}

StatementLog WritesOnly(const StatementLog& log) {
  StatementLog writes;
  for (const SentStatement& statement : log) {
    if (statement.target == SentStatement::Target::kInternos &&
        statement.kind == SentStatement::Kind::kExec) {
      writes.push_back(statement);
    }
  }
  return writes;
}

Sample Replay(const DatabasePaths& paths, const SqliteSettings& settings, const StatementLog& log,
              Mode mode) {
  RawDb internos(paths.internos, settings);
  RawDb ncm(paths.ncm, settings);
  Stopwatch clock;
  if (mode == Mode::kTransaction) internos.Exec("begin immediate");
  for (const SentStatement& statement : log) {
    RawDb& db = statement.target == SentStatement::Target::kInternos ? internos : ncm;
    if (statement.kind == SentStatement::Kind::kQuery) {
      db.Query(statement.sql);
    } else {
      db.Exec(statement.sql);
    }
  }
  if (mode == Mode::kTransaction) internos.Exec("commit");
  return clock.Elapsed();
}

StatementLog LookupsOnce(const StatementLog& log) {
  StatementLog once;
  std::unordered_set<std::string> asked;
  for (const SentStatement& statement : log) {
    const bool lookup = statement.target == SentStatement::Target::kNcm &&
                        statement.kind == SentStatement::Kind::kQuery;
    if (!lookup || asked.insert(statement.sql).second) once.push_back(statement);
  }
  return once;
}

namespace {

// A statement of the log as the prepared floor sends it: the shape to prepare and the values to
// bind, or the text as it is when nothing in it can be lifted.
struct BoundStatement {
  sqlite3* db;
  std::string text;
  std::vector<connectors::LiftedLiteral> values;
};

class KeptStatements {
 public:
  ~KeptStatements() {
    for (auto& [db, statements] : kept_) {
      for (auto& [text, statement] : statements) sqlite3_finalize(statement);
    }
  }
  sqlite3_stmt* For(sqlite3* db, const std::string& text) {
    sqlite3_stmt*& statement = kept_[db][text];
    if (statement == nullptr && sqlite3_prepare_v2(db, text.c_str(), static_cast<int>(text.size()),
                                                   &statement, nullptr) != SQLITE_OK) {
      throw std::runtime_error(std::string("prepare: ") + sqlite3_errmsg(db));
    }
    return statement;
  }

 private:
  std::unordered_map<sqlite3*, std::unordered_map<std::string, sqlite3_stmt*>> kept_;
};

void RunBound(sqlite3_stmt* statement, const BoundStatement& bound) {
  int index = 0;
  for (const connectors::LiftedLiteral& value : bound.values) {
    ++index;
    if (value.kind == connectors::LiftedLiteral::Kind::kInteger) {
      sqlite3_bind_int64(statement, index, std::stoll(value.text));
    } else {
      sqlite3_bind_text(statement, index, value.text.data(), static_cast<int>(value.text.size()),
                        SQLITE_STATIC);
    }
  }
  // The sink keeps the reads from being optimised away.
  volatile std::int64_t sink = 0;
  int rc;
  while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
    for (int c = 0; c < sqlite3_column_count(statement); ++c) {
      sink = sink + sqlite3_column_type(statement, c) + sqlite3_column_bytes(statement, c);
    }
  }
  sqlite3_reset(statement);
  if (rc != SQLITE_DONE) {
    throw std::runtime_error(std::string("step: ") + sqlite3_errmsg(bound.db));
  }
}

}  // namespace

Sample ReplayPrepared(const DatabasePaths& paths, const SqliteSettings& settings,
                      const StatementLog& log, Mode mode) {
  RawDb internos(paths.internos, settings);
  RawDb ncm(paths.ncm, settings);
  std::vector<BoundStatement> statements;
  statements.reserve(log.size());
  for (const SentStatement& statement : LookupsOnce(log)) {
    BoundStatement bound{
        statement.target == SentStatement::Target::kInternos ? internos.handle() : ncm.handle(),
        statement.sql,
        {}};
    if (auto lifted =
            connectors::LiftLiterals(statement.sql, {connectors::LiftingRules::Engine::kSqlite})) {
      bound.text = std::move(lifted->shape);
      bound.values = std::move(lifted->literals);
    }
    statements.push_back(std::move(bound));
  }
  KeptStatements kept;
  Stopwatch clock;
  // A run holds one read lock on the nomenclature for all its lookups; so does the floor.
  if (mode == Mode::kTransaction) {
    internos.Exec("begin immediate");
    ncm.Exec("begin");
  }
  for (const BoundStatement& statement : statements) {
    RunBound(kept.For(statement.db, statement.text), statement);
  }
  if (mode == Mode::kTransaction) {
    ncm.Exec("commit");
    internos.Exec("commit");
  }
  return clock.Elapsed();
}

Sample HandWrittenFilteredCopy(const DatabasePaths& paths, const SqliteSettings& settings,
                               bool withLicence, const std::string& newNumber) {
  RawDb internos(paths.internos, settings);
  internos.Exec("attach database '" + paths.ncm.string() + "' as n");
  std::string target;
  std::string source;
  for (std::size_t i = 0; i < layout::kSubitems.size(); ++i) {
    target += (i ? "," : "") + std::string(layout::kSubitems[i]);
    if (i > 0) source += ",s." + std::string(layout::kSubitems[i]);
  }
  const std::string items =
      "insert into subitems (" + target + ") select '" + newNumber + "'" + source +
      " from subitems s join n.ncm c on c.[001] = substr(s.ncm, 1, 10) and c.[002] = "
      "substr(s.ncm, 12, 3) and c.[059] = '" +
      (withLicence ? "*" : "") + "' where s.interno = '" + kSourceInterno + "' order by s.id";
  const std::string fob =
      "update caratula set fobdivisas = coalesce((select round(sum(fob), 2) "
      "from subitems where interno = '" +
      newNumber + "'), 0) where interno = '" + newNumber + "'";
  const std::string invoices = InvoiceCopyStatement(kSourceInterno, newNumber);
  const std::string cover = CoverSheetCopyStatement(kSourceInterno, newNumber, kFechaActual, false);

  Stopwatch clock;
  internos.Exec(items);
  internos.Exec(invoices);
  internos.Exec(cover);
  internos.Exec(fob);
  return clock.Elapsed();
}

CopiedItems ItemsOf(const std::filesystem::path& internos, const std::string& interno) {
  RawDb db(internos, SqliteSettings{"", ""});
  const std::string where = " from subitems where interno = '" + interno + "'";
  return {db.ScalarInt("select count(*)" + where), db.ScalarDouble("select sum(fob)" + where)};
}

}  // namespace oq::bench
