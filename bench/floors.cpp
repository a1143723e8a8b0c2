#include "floors.h"

#include "bench_db.h"
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
