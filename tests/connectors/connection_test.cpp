// Every engine's host connection against one contract, the components on it, each engine's own.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <future>
#include <iomanip>
#include <optional>
#include <sstream>
#include <thread>

#include "../host/test_support.h"
#include "connectors/common/round_trips.h"
#include "connectors/common/snapshot_recordset.h"
#include "connectors/common/transaction_control.h"
#include "connectors/components/dam_main.h"
#include "connectors/components/host_components.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "host/component_registry.h"
#include "host/format_component.h"
#include "host/recordset.h"
#include "support/test_database.h"
#ifdef OQ_HAVE_POSTGRES
#include "connectors/postgres/postgres_connection.h"
#include "support/postgres_backend.h"
#endif

namespace oq::test {
namespace {

Variant Exec(HostConnection& db, const std::string& sql) {
  db.put_sql(sql);
  return db.ejecutar();
}

class ConnectionTest : public ::testing::TestWithParam<std::shared_ptr<TestBackend>> {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>(GetParam());
    Exec("create table t (interno varchar(40), n integer, x numeric(18,2), s varchar(20))");
    Exec("insert into t values ('A', 1, 1.5, 'uno'), ('A', 2, 2.25, 'dos'), ('B', 3, NULL, NULL)");
  }
  bool sqlite() const { return GetParam()->dialect == Dialect::kSqlite; }
  HostConnection& db() { return *db_->internos(); }
  Variant Exec(const std::string& sql) { return test::Exec(db(), sql); }
  Variant Query(const std::string& sql) {
    db().put_sql(sql);
    return db().crearrs(recordset_);
  }
  Recordset& rs() { return dynamic_cast<Recordset&>(*recordset_.asObject()); }
  Variant Single(const std::string& expression) {
    Query("select " + expression + " as v");
    return rs().Fields("v").Value();
  }

  std::unique_ptr<TestDatabase> db_;
  Variant recordset_;
};

TEST_P(ConnectionTest, CrearrsIsTrueForARowAndEjecutarCountsTheRowsChanged) {
  for (const auto& [sql, rows] : {std::pair{"select * from t where interno = 'A'", true},
                                  {"select * from t where interno = 'Z'", false},
                                  {"select count(*) from t where interno = 'Z'", true},
                                  {"select 1 where 1 = 0", false},
                                  {"create table u (a integer)", false},
                                  {"select a from u; -- one statement\n;", false}}) {
    const Variant result = Query(sql);
    EXPECT_EQ(result, Variant::Boolean(rows)) << sql;
    EXPECT_EQ(rs().Eof(), !rows) << sql;
  }
  const ObjectRef first = recordset_.asObject();
  EXPECT_EQ(FailureOf([&] { Query("select nope from t"); }).number(), err::kDatabaseError);
  EXPECT_EQ(recordset_.asObject(), first);
  Query("select s from t");
  EXPECT_NE(recordset_.asObject(), first);

  // Rows changed; the server counts a query's rows, and only the last statement's.
  for (const auto& [sql, changed, onServer] :
       {std::tuple{"insert into t (interno) values ('C'), ('C'), ('C')", 3, 3},
        {"update t set s = 'x' where interno = 'C'", 3, 3},
        {"create table v (a integer)", 0, 0},  // no count left over
        {"select * from t where interno = 'C'", 0, 3},
        {"delete from t where interno = 'C'", 3, 3},
        {"insert into t (interno, n) select interno, n from t where n < 3", 2, 2}}) {
    EXPECT_EQ(Exec(sql), Variant::Long(sqlite() ? changed : onServer)) << sql;
  }
  // A second statement in one text is refused whole, whatever the first one is.
  for (const char* sql : {"insert into v values (1); insert into v values (2)",
                          "select 1; delete from v", "select 1 /* */ ; select 2"}) {
    EXPECT_THROW(Exec(sql), Failure) << sql;
    EXPECT_THROW(Query(sql), Failure) << sql;
  }
  EXPECT_EQ(Exec("delete from v"), Variant::Long(0));
}

// SQLite gives a value its storage class; the server gives it the kind of its column's type.
TEST_P(ConnectionTest, ValuesTakeTheKindOfTheirStorage) {
  struct Case {
    const char* expression;
    Variant value;
    std::optional<Variant> onServer = std::nullopt;  // when it differs
  };
  const Case cases[] = {
      {"-2147483648", Variant::Long(-2147483647 - 1)},
      {"cast(2147483648 as bigint)", Variant::LongLong(2147483648)},
      {"cast(1.5 as real)", Variant::Double(1.5)},
      {"cast(12345.6789 as numeric(12,4))", Variant::Double(12345.6789)},
      {"cast(0.1 as double precision) + 0.2", Variant::Double(0.1 + 0.2)},  // every digit kept
      {"1 = 1", Variant::Long(1), Variant::Boolean(true)},
      {"1 = 0", Variant::Long(0), Variant::Boolean(false)},
      {"'añil'", Variant::String("añil")},
      {"cast('ab' as char(4))", Variant::String("ab"), Variant::String("ab  ")},
      {"cast(null as numeric)", Variant::Null()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Single(c.expression), sqlite() ? c.value : c.onServer.value_or(c.value))
        << c.expression;
  }
  if (!sqlite()) {
    EXPECT_EQ(Single("timestamp '2024-05-01 10:20:30'"), Variant::String("2024-05-01 10:20:30"));
    EXPECT_TRUE(std::isnan(Single("cast('NaN' as numeric)").toDouble()));
    EXPECT_EQ(FailureOf([&] { Single("cast(1e400 as numeric)"); }).number(), err::kOverflow);
  }
}

// A statement's literals sent as bound values (a prepared statement run again with other
// values) mean exactly what the text says: the same rows, kinds, names, counts and refusals as
// the text sent as it is, on each engine.
std::string Describe(const Variant& value) {
  std::ostringstream text;
  text << static_cast<int>(value.kind()) << ':' << std::setprecision(17);
  if (value.isString()) {
    text << '\'' << value.asString() << '\'';
  } else if (value.kind() == Variant::Kind::kDouble) {
    text << value.toDouble();
  } else if (!value.isNull()) {
    text << value.toInt64();
  }
  return text.str();
}

TEST_P(ConnectionTest, LiteralsSentAsValuesMeanWhatTheTextSays) {
  const std::vector<std::string> statements = {
      "insert into t values ('it''s', -7, -12.5, ''), ('C', 8, 1e2, '12.50'), ('D', 9, .5, NULL)",
      "insert into t (interno, n, x, s) values ('E', 10, 3, 12.5)",
      "update t set x = 2.75, s = 'upd' where n = 2 and interno = 'A'",
      "select interno, n, x, s from t where s = '' or s is null order by 2",
      "select n, 'lit' as k, 5 from t where s = '12.5' or s = 12.5 or x = 12.5 order by 1 desc",
      "select n from t where x = 2.75 or x = -12.5 or n in (1, 3) order by 1",
      "select n from t where interno = 'it''s' and n = -7",
      "select count(*) as c from t where n > 2 and n <= 9 and interno <> 'C'",
      "select n from t where substr(s, 1, 2) = '12' and length(s) = 5",
      "select interno, n from t where n between 1 and 3 order by 1, 2 desc",
      "select n from t where cast(n as varchar(10)) = '8'",
      "select n from t where n = 99999999999 or n = 10",
      "insert into t (n) values ('abc')",
      "update t set x = x + 1.25 where interno = 'C'",
      "select interno, n, x, s from t order by n",
  };
  auto transcript = [&](bool reuse) {
    dynamic_cast<connectors::RoundTrips&>(db()).SetReusePrepared(reuse);
    Exec("delete from t");
    Exec("insert into t values ('A', 1, 1.5, 'uno'), ('A', 2, 2.25, 'dos'), ('B', 3, NULL, NULL)");
    std::string text;
    for (const std::string& sql : statements) {
      text += sql + "\n  ";
      try {
        if (!sql.starts_with("select")) {
          text += "changed " + Describe(Exec(sql)) + "\n";
          continue;
        }
        Query(sql);
        const auto& rows = dynamic_cast<const connectors::SnapshotRecordset&>(rs());
        for (const std::string& name : rows.Names()) text += name + " ";
        for (const auto& row : rows.AllRows()) {
          text += "|";
          for (const Variant& value : row) text += Describe(value) + " ";
        }
        text += "\n";
      } catch (const Failure& failure) {
        text += "refused: " + failure.description() + "\n";
      }
    }
    return text;
  };
  const std::string asWritten = transcript(false);
  EXPECT_EQ(transcript(true), asWritten);
  EXPECT_EQ(transcript(true), asWritten);  // from statements kept prepared
}

// Fields are found by alias without regard to case: the server folds unquoted aliases to lower
// case, SQLite keeps them as written. The record set is a snapshot: later writes do not show, and
// closing it refuses everything.
TEST_P(ConnectionTest, RecordSetFindsFieldsInAnyCaseWalksItsSnapshotAndRefusesAllOnceClosed) {
  Query("select n as cantidadDeSubitemsCargados, s as \"MixedCase\" from t where n = 1");
  EXPECT_EQ(rs().Fields("CANTIDADDESUBITEMSCARGADOS").Name(),
            sqlite() ? "cantidadDeSubitemsCargados" : "cantidaddesubitemscargados");
  EXPECT_EQ(rs().Fields("cantidaddesubitemscargados").Value(), Variant::Long(1));
  EXPECT_EQ(rs().Fields("mixedcase").Value(), Variant::String("uno"));
  // Where two columns share a name the first one answers, also right after the one before it.
  Query("select n as a, s as b, x as A from t where n = 1");
  const auto& snapshot = dynamic_cast<const connectors::SnapshotRecordset&>(rs());
  const std::vector<std::string> names = snapshot.Names();
  EXPECT_TRUE(snapshot.HasNames(names));
  EXPECT_FALSE(snapshot.HasNames({names[1], names[0], names[2]}));
  EXPECT_FALSE(snapshot.HasNames({names[0], names[1]}));
  for (const char* name : {"a", "b", "A"}) {
    EXPECT_EQ(rs().Fields(name).Value(), *name == 'b' ? Variant::String("uno") : Variant::Long(1))
        << name;
  }
  EXPECT_EQ(FailureOf([&] { rs().Fields("n"); }).description(),
            std::string("Item cannot be found in the collection corresponding to the requested "
                        "name or ordinal.") +
                (sqlite() ? " (n)" : ""));
  ASSERT_TRUE(Query("select n from t order by n").isTrue());
  Exec("insert into t (interno, n) values ('D', 4)");
  Exec("delete from t where n = 2");
  Field& n = rs().Fields("N");
  for (int pass = 0; pass < 2; ++pass, rs().MoveFirst()) {
    std::vector<std::int64_t> seen;
    for (; !rs().Eof(); rs().MoveNext()) seen.push_back(n.Value().toInt64());
    EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2, 3}));
    EXPECT_EQ(FailureOf([&] { rs().MoveNext(); }).number(), err::kNoCurrentRecord);
    EXPECT_EQ(FailureOf([&] { n.Value(); }).number(), err::kNoCurrentRecord);
  }
  rs().Close();
  rs().Close();
  for (auto call : std::vector<std::function<void()>>{
           [&] { rs().Eof(); }, [&] { rs().MoveFirst(); }, [&] { rs().MoveNext(); },
           [&] { rs().Fields("n"); }, [&] { n.Value(); },
           [&] { dynamic_cast<const connectors::SnapshotRecordset&>(rs()).HasNames({"n"}); }}) {
    EXPECT_EQ(FailureOf(call).number(), err::kOperationOnClosed);
  }
}

// Several batches in one call, or asked ahead: every answer is its own statement's, a refused one
// stays with its statement, and the session goes on as before.
TEST_P(ConnectionTest, ManyQueriesAtOnceAnswerEachItsOwn) {
  auto& trips = dynamic_cast<connectors::RoundTrips&>(db());
  const std::size_t count = 2 * connectors::RoundTrips::kMaxBatch + 500;
  const std::size_t refused = connectors::RoundTrips::kMaxBatch + 234;
  std::vector<std::string> queries;
  for (std::size_t i = 0; i < count; ++i) {
    queries.push_back(i == refused ? "select n as v from nope"
                                   : "select " + std::to_string(i) + " as v, 'x' as w");
  }
  const auto answers = trips.RunQueries(queries);
  ASSERT_EQ(answers.size(), count);
  // A server skips the rest of a refused statement's batch; those are not answered.
  for (std::size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(i);
    if (i == refused) {
      EXPECT_EQ(answers[i], nullptr);
    } else if (i < refused || i >= 2 * connectors::RoundTrips::kMaxBatch || answers[i]) {
      ASSERT_NE(answers[i], nullptr);
      EXPECT_EQ(answers[i]->Fields("v").Value().toInt64(), static_cast<std::int64_t>(i));
    }
  }
  EXPECT_EQ(Single("(select count(*) from t)"), Variant::Long(3));

  // Asked ahead, the same answers come one by one; a statement of another kind drops the rest.
  ASSERT_EQ(trips.AskAhead(queries), !sqlite());
  if (sqlite()) return;
  for (std::size_t i = 0; i < count - 100; ++i) {
    SCOPED_TRACE(i);
    const auto answer = trips.NextAnswer();
    ASSERT_EQ(answer == nullptr, answers[i] == nullptr);
    if (answer) {
      EXPECT_EQ(answer->Fields("v").Value().toInt64(), static_cast<std::int64_t>(i));
    }
  }
  EXPECT_EQ(Single("(select count(*) from t)"), Variant::Long(3));
  EXPECT_EQ(trips.NextAnswer(), nullptr);
}

// Inside a run, writes may stay in flight while the caller goes on: the next call on the connection
// reads their answers first, so it sees their rows, and a refused one fails with its own words.
TEST_P(ConnectionTest, WritesLeftInFlightAreAnsweredBeforeAnythingElse) {
  auto& run = dynamic_cast<connectors::TransactionControl&>(db());
  auto& trips = dynamic_cast<connectors::RoundTrips&>(db());
  const std::size_t count = connectors::RoundTrips::kMaxBatch + 500;
  auto inserts = [count](std::optional<std::size_t> refused) {
    std::vector<std::string> statements;
    for (std::size_t i = 0; i < count; ++i) {
      statements.push_back(i == refused ? "insert into nope values (1)"
                                        : "insert into t (interno, n) values ('W', " +
                                              std::to_string(i) + ")");
    }
    return statements;
  };
  run.BeginRun();
  EXPECT_FALSE(trips.SendWrites(inserts(std::nullopt)));
  EXPECT_EQ(Single("(select count(*) from t where interno = 'W')"),
            Variant::Long(static_cast<std::int32_t>(count)));
  EXPECT_FALSE(trips.SendWrites(inserts(std::nullopt)));
  EXPECT_FALSE(trips.FinishWrites());
  run.CommitRun();
  EXPECT_EQ(Single("(select count(*) from t where interno = 'W')"),
            Variant::Long(static_cast<std::int32_t>(2 * count)));

  const std::string missing = sqlite() ? "no such table: nope" : "relation \"nope\" does not exist";
  for (const std::size_t at : {std::size_t{10}, connectors::RoundTrips::kMaxBatch + 10}) {
    SCOPED_TRACE(at);
    run.BeginRun();
    const std::optional<connectors::Refused> refused = trips.SendWrites(inserts(at));
    // Where nothing is pipelined, or the refusal's batch was answered while the next one went
    // out, the call says so itself; else the next statement does.
    const Failure failure = refused
                                ? refused->failure
                                : FailureOf([&] { Exec("insert into t (interno) values ('X')"); });
    if (refused) {
      EXPECT_EQ(refused->index, at);
    }
    EXPECT_EQ(failure.description(), missing);
    run.RollbackRun();
  }
  EXPECT_EQ(Single("(select count(*) from t)"),
            Variant::Long(static_cast<std::int32_t>(3 + 2 * count)));

  // Small batches, many on their way at once: a refusal in an early one is told by a later call,
  // and every row sent is there for the next statement.
  const auto small = [](std::size_t call, bool refuse) {
    std::vector<std::string> statements(
        100, "insert into t (interno, n) values ('S', " + std::to_string(call) + ")");
    if (refuse) statements[40] = "insert into nope values (1)";
    return statements;
  };
  for (const bool refuse : {false, true}) {
    SCOPED_TRACE(refuse);
    run.BeginRun();
    std::optional<connectors::Refused> refused;
    for (std::size_t call = 0; call < 25 && !refused; ++call) {
      refused = trips.SendWrites(small(call, refuse && call == 2));
    }
    if (!refused) refused = trips.FinishWrites();
    ASSERT_EQ(refused.has_value(), refuse);
    if (refuse) {
      EXPECT_EQ(refused->index, 40u);
      EXPECT_EQ(refused->failure.description(), missing);
    } else {
      EXPECT_EQ(Single("(select count(*) from t where interno = 'S')"), Variant::Long(2500));
    }
    run.RollbackRun();
  }
}

TEST_P(ConnectionTest, RefusedStatementsCarryTheEnginesMessageAndTheSessionGoesOn) {
  Exec("create table k (a integer primary key)");
  Exec("insert into k values (1)");
  for (const auto& [sql, message, onServer] :
       {std::tuple{"selec 1", "near \"selec\": syntax error", "syntax error at or near \"selec\""},
        {"select * from nope", "no such table: nope", "relation \"nope\" does not exist"},
        {"insert into k values (1)", "UNIQUE constraint failed: k.a",
         "duplicate key value violates unique constraint \"k_pkey\" (Key (a)=(1) already "
         "exists.)"}}) {
    const Failure failure = FailureOf([&] { Exec(sql); });
    EXPECT_EQ(failure.number(), err::kDatabaseError) << sql;
    EXPECT_EQ(failure.description(), sqlite() ? message : onServer);
    EXPECT_EQ(failure.source(), sqlite() ? "SQLite" : "PostgreSQL");
  }
  EXPECT_EQ(Exec("insert into k values (2)"), Variant::Long(1));
}

// The licence-filtered item lookup as the copies build it, in either dialect's substring.
TEST_P(ConnectionTest, TariffLookupFindsOnlyTheRowsWithTheirMarkInEachDialect) {
  db_->InsertNcm("8471.30.12", "100", Variant::String("*"));
  db_->InsertNcm("8471.30.12", "200", Variant::String(""));
  db_->InsertNcm("8517.13.00", "000", Variant::Null());
  HostConnection& ncm = *db_->ncm();
  for (const Dialect dialect : {Dialect::kSqlite, Dialect::kPostgres}) {
    components::DamMain dam({{"INTERNOS", dialect}});
    const auto lookup = [&](const std::string& item, const char* mark) {
      ncm.put_sql("select [001] as total,[002] from ncm where (left('" + item +
                  "',10) = [001] and " +
                  dam.getMidFormatbyEntity("INTERNOS", "'" + item + "'", "12", "3") +
                  " = [002] and [059] = '" + mark + "')");
      return ncm.crearrs(recordset_);
    };
    for (const auto& [item, con, sin] : {std::tuple{"8471.30.12.100", true, false},
                                         {"8471.30.12.200", false, true},
                                         {"8471.30.12.300", false, false},
                                         {"8517.13.00.000", false, false}}) {
      EXPECT_EQ(lookup(item, "*"), Variant::Boolean(con)) << item;
      EXPECT_EQ(lookup(item, ""), Variant::Boolean(sin)) << item;
    }
    lookup("8471.30.12.100W", "*");
    EXPECT_EQ(rs().Fields("total").Value(), Variant::String("8471.30.12"));
    EXPECT_EQ(rs().Fields("002").Value(), Variant::String("100"));
  }
  // The registered component writes the substring of each entity's dialect, and knows no other.
  components::RegisterHostComponents(
      {{"Internos", Dialect::kAccess}, {"NCM", Dialect::kSqlServer}});
  const auto dam = [] {
    return std::dynamic_pointer_cast<DataAccessManager>(CreateObject("DataAccessManager.DAMMain"));
  };
  ASSERT_NE(dam(), nullptr);
  EXPECT_NE(dam(), dam()) << "each creation is a new object";
  EXPECT_EQ(dam()->getMidFormatbyEntity("INTERNOS", "'8471.30.12.100'", "12", "3"),
            "Mid('8471.30.12.100', 12, 3)");
  EXPECT_EQ(dam()->getMidFormatbyEntity("ncm", "x", "1", "2"), "SUBSTRING(x, 1, 2)");
  const Failure failure = FailureOf([&] { dam()->getMidFormatbyEntity("FACT", "x", "1", "1"); });
  EXPECT_EQ(failure.number(), components::kUnknownEntity);
  EXPECT_NE(failure.description().find("FACT"), std::string::npos);
  components::RegisterHostComponents();
  EXPECT_EQ(dam()->getMidFormatbyEntity("NCM", "x", "1", "2"), "substr(x, 1, 2)");
  EXPECT_EQ(dam()->getMidFormatbyEntity("INTERNOS", "x", "1", "2"), "substr(x, 1, 2)");
}

// cFORMAT.Main's EsNumero reads a field: its number, a number typed as text, or 0.
TEST_P(ConnectionTest, EsNumeroGivesTheFieldsNumberOrZero) {
  components::RegisterHostComponents();
  auto format = std::dynamic_pointer_cast<FormatComponent>(CreateObject("cformat.main"));
  ASSERT_NE(format, nullptr);
  const std::pair<const char*, Variant> cases[] = {
      {"12", Variant::Long(12)},         {"3000000000", Variant::LongLong(3000000000)},
      {"1.5", Variant::Double(1.5)},     {"'3,25'", Variant::Double(3.25)},
      {"' 7.5 '", Variant::Double(7.5)}, {"'-2e3'", Variant::Double(-2000)},
      {"'+4'", Variant::Double(4)},      {"NULL", Variant::Long(0)},
      {"''", Variant::Long(0)},          {"'s/d'", Variant::Long(0)},
      {"'1.234,5'", Variant::Long(0)},   {"'1,2,3'", Variant::Long(0)},
      {"'12abc'", Variant::Long(0)},     {"'++4'", Variant::Long(0)},
      {"'inf'", Variant::Long(0)},       {"' '", Variant::Long(0)},
  };
  for (const auto& [expression, expected] : cases) {
    Single(expression);
    EXPECT_EQ(format->EsNumero(rs().Fields("v")), expected) << expression;
  }
  Single("1 = 1");  // a server's Boolean is -1
  EXPECT_EQ(format->EsNumero(rs().Fields("v")), sqlite() ? Variant::Long(1) : Variant::Integer(-1));
  Query("select 1 as v where 1 = 0");
  EXPECT_EQ(FailureOf([&] { format->EsNumero(rs().Fields("v")); }).number(), err::kNoCurrentRecord)
      << "the field's own failure passes on";
}

// The server aborts a run's transaction at its first refused statement; SQLite only the statement.
TEST_P(ConnectionTest, ARunsTransactionKeepsAllOrNothing) {
  auto& run = dynamic_cast<connectors::TransactionControl&>(db());
  run.BeginRun();
  Exec("insert into t (interno) values ('R')");
  run.RollbackRun();
  run.RollbackRun();
  EXPECT_EQ(Single("(select count(*) from t)"), Variant::Long(3));
  run.BeginRun();
  Exec("insert into t (interno) values ('R')");
  EXPECT_THROW(Exec("insert into missing values (3)"), Failure);
  if (sqlite()) {
    run.CommitRun();
  } else {
    EXPECT_THROW(run.CommitRun(), Failure);
  }
  EXPECT_EQ(Single("(select count(*) from t)"), Variant::Long(sqlite() ? 4 : 3));
}

// What only a server does: refuse a database, and lose a session (see also server_faults_test).
TEST_P(ConnectionTest, AServerRefusesAMissingDatabaseAndARunsLostSessionStaysLost) {
  if (sqlite()) GTEST_SKIP() << "an embedded database has no server";
#ifdef OQ_HAVE_POSTGRES
  const std::string url = WithDatabase(db_->internosUrl(), "no_such_database");
  const Failure failure = FailureOf([&] { postgres::PostgresConnection{url}; });
  EXPECT_EQ(failure.number(), err::kDatabaseError);
  EXPECT_TRUE(failure.description().starts_with("Cannot connect to the PostgreSQL server: "));
  EXPECT_NE(failure.description().find("no_such_database"), std::string::npos)
      << failure.description();
#endif
  // Inside a run a new session would write outside its transaction: every statement fails.
  auto& run = dynamic_cast<connectors::TransactionControl&>(db());
  run.BeginRun();
  Exec("insert into t (interno) values ('R')");
  const Failure lost = FailureOf([&] { Exec("select pg_terminate_backend(pg_backend_pid())"); });
  EXPECT_TRUE(lost.description().starts_with("Connection to the PostgreSQL server lost"))
      << lost.description();
  EXPECT_THROW(Exec("insert into t (interno) values ('S')"), Failure);
  EXPECT_THROW(run.CommitRun(), Failure);
  run.RollbackRun();
  EXPECT_EQ(Single("(select count(*) from t)"), Variant::Long(3));
}

// Two runs creating one number take turns, and the one that waits says so once, after a second.
// Numbered copies share one lock: a run of thousands fits in a server's default lock table.
TEST_P(ConnectionTest, ASecondRunWaitsForTheFirstAndSaysSoAfterASecond) {
  using namespace std::chrono;
  std::shared_ptr<HostConnection> second;
  if (sqlite()) {
    second = sqlite::SqliteConnection::Open(db_->internosUrl().substr(7));
  } else {
#ifdef OQ_HAVE_POSTGRES
    second = std::make_shared<postgres::PostgresConnection>(db_->internosUrl());
#endif
  }
  auto& first = dynamic_cast<connectors::TransactionControl&>(db());
  auto& other = dynamic_cast<connectors::TransactionControl&>(*second);
  std::vector<std::string> notices;
  other.SetWaitNotice([&](const std::string& what) { notices.push_back(what); });
  first.BeginRun();
  for (int copy = 1; copy <= 20000; ++copy) first.LockNumber("N_" + std::to_string(copy));
  if (!sqlite()) {
    EXPECT_EQ(Single("(select count(*) from pg_locks where locktype = 'advisory' and pid = "
                     "pg_backend_pid())")
                  .toInt64(),
              1);
  }
  Exec("insert into t (interno) values ('N_7')");
  if (sqlite()) {
    EXPECT_THROW(test::Exec(*sqlite::SqliteConnection::Open(db_->internosUrl().substr(7),
                                                            {.busyTimeout = milliseconds(0)}),
                            "insert into t (interno) values ('I')"),
                 Failure)
        << "no wait without a busy timeout";
  }
  auto waiting = std::async(std::launch::async, [&] {
    other.BeginRun();
    other.LockNumber("N_7");
    const Variant seen = test::Exec(*second, "update t set s = 'seen' where interno = 'N_7'");
    other.CommitRun();
    return seen;
  });
  std::this_thread::sleep_for(milliseconds(1500));
  EXPECT_EQ(notices.size(), 1u);
  first.CommitRun();
  EXPECT_EQ(waiting.get(), Variant::Long(1)) << "the second run sees what the first committed";
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_TRUE(notices[0].starts_with("waiting for another")) << notices[0];
}

INSTANTIATE_TEST_SUITE_P(Engines, ConnectionTest, ::testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
