#include "connectors/sqlite/sqlite_connection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "host/failure.h"
#include "host/recordset.h"
#include "temp_folder.h"

namespace oq::sqlite {
namespace {

class SqliteConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    connection_ = SqliteConnection::Open(folder_.file("t.db"), {.createIfMissing = true});
    Exec("create table t (interno varchar(40), n integer, x numeric(18,2), s varchar(20))");
    Exec("insert into t values ('A', 1, 1.5, 'uno'), ('A', 2, 2.25, 'dos'), ('B', 3, NULL, NULL)");
  }

  Variant Exec(const std::string& sql) {
    connection_->put_sql(sql);
    return connection_->ejecutar();
  }
  // Runs a query; the record set is left in recordset_.
  Variant Query(const std::string& sql) {
    connection_->put_sql(sql);
    return connection_->crearrs(recordset_);
  }
  Recordset& rs() { return dynamic_cast<Recordset&>(*recordset_.asObject()); }

  static void ExpectFailure(const std::function<void()>& action, std::int32_t number) {
    EXPECT_EQ(test::FailureOf(action).number(), number);
  }

  test::TempFolder folder_;
  std::shared_ptr<SqliteConnection> connection_;
  Variant recordset_;
};

TEST_F(SqliteConnectionTest, CrearrsIsBooleanTrueExactlyWhenThereIsARow) {
  struct Case {
    const char* sql;
    bool rows;
  };
  for (const Case& c : {Case{"select * from t where interno = 'A'", true},
                        Case{"select * from t where interno = 'Z'", false},
                        Case{"select count(*) from t where interno = 'Z'", true},
                        Case{"select 1 where 0", false}, Case{"create table u (a)", false},
                        Case{"insert into u values (1); select a from u", true}}) {
    const Variant result = Query(c.sql);
    EXPECT_EQ(result, Variant::Boolean(c.rows)) << c.sql;
    EXPECT_EQ(result.toInt64(), c.rows ? -1 : 0) << c.sql;
    EXPECT_EQ(rs().Eof(), !c.rows) << c.sql;
  }
}

TEST_F(SqliteConnectionTest, ValuesKeepTheirStorageClass) {
  Query(
      "select 7 as i, 3000000000 as big, -2147483648 as low, 0.1 + 0.2 as r, 'texto' as s, "
      "NULL as z, x'4142' as b");
  EXPECT_EQ(rs().Fields("i").Value(), Variant::Long(7));
  EXPECT_EQ(rs().Fields("big").Value(), Variant::LongLong(3000000000));
  EXPECT_EQ(rs().Fields("low").Value(), Variant::Long(-2147483647 - 1));
  EXPECT_EQ(rs().Fields("r").Value(), Variant::Double(0.1 + 0.2));  // every digit kept
  EXPECT_EQ(rs().Fields("s").Value(), Variant::String("texto"));
  EXPECT_TRUE(rs().Fields("z").Value().isNull());
  EXPECT_EQ(rs().Fields("b").Value(), Variant::String("AB"));
}

TEST_F(SqliteConnectionTest, NavigatesAndRefusesEveryCallButCloseOnceClosed) {
  ASSERT_TRUE(Query("select n from t order by n").isTrue());
  Field& n = rs().Fields("N");
  std::vector<std::int64_t> seen;
  for (; !rs().Eof(); rs().MoveNext()) seen.push_back(n.Value().toInt64());
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2, 3}));
  ExpectFailure([&] { rs().MoveNext(); }, err::kNoCurrentRecord);
  ExpectFailure([&] { n.Value(); }, err::kNoCurrentRecord);
  rs().MoveFirst();
  EXPECT_EQ(n.Value(), Variant::Long(1));

  // Closing twice is harmless; after it every call fails, the field already handed out too.
  rs().Close();
  rs().Close();
  for (auto call : std::vector<std::function<void()>>{
           [&] { rs().Eof(); }, [&] { rs().MoveFirst(); }, [&] { rs().MoveNext(); },
           [&] { rs().Fields("n"); }, [&] { n.Value(); }}) {
    ExpectFailure(call, err::kOperationOnClosed);
  }

  Query("select n from t where 0");
  rs().MoveFirst();
  EXPECT_TRUE(rs().Eof());
}

TEST_F(SqliteConnectionTest, FieldsAreFoundByAliasWithoutRegardToCase) {
  Query("select n as Total, s, x * 2 from t where n = 1");
  EXPECT_EQ(rs().Fields("TOTAL").Name(), "Total");
  EXPECT_EQ(rs().Fields("total").Value(), Variant::Long(1));
  EXPECT_EQ(rs().Fields("S").Value(), Variant::String("uno"));
  EXPECT_EQ(rs().Fields("x * 2").Value(), Variant::Double(3.0));
  EXPECT_EQ(test::FailureOf([&] { rs().Fields("n"); }).description(),
            "Item cannot be found in the collection corresponding to the requested name or "
            "ordinal. (n)");
}

// The record set is a snapshot, and copying rows onto their own number ends.
TEST_F(SqliteConnectionTest, RecordSetIsASnapshotAndSelfCopiesEnd) {
  Query("select n from t where interno = 'A'");
  EXPECT_EQ(Exec("insert into t (interno, n) select interno, n from t where interno = 'A'"),
            Variant::Long(2));
  Exec("delete from t where n = 2");
  std::vector<std::int64_t> seen;
  for (rs().MoveFirst(); !rs().Eof(); rs().MoveNext())
    seen.push_back(rs().Fields("n").Value().toInt64());
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 2}));
  Query("select count(*) as c from t where interno = 'A'");
  EXPECT_EQ(rs().Fields("c").Value(), Variant::Long(2));
}

TEST_F(SqliteConnectionTest, CrearrsReplacesTheVariableOnlyOnSuccess) {
  Query("select n from t");
  const ObjectRef first = recordset_.asObject();
  ExpectFailure([&] { Query("select nope from t"); }, kSqliteErrorNumber);
  EXPECT_EQ(recordset_.asObject(), first);
  Query("select s from t");
  EXPECT_NE(recordset_.asObject(), first);
}

TEST_F(SqliteConnectionTest, EjecutarReturnsTheRowsChanged) {
  struct Case {
    const char* sql;
    std::int32_t changed;
  };
  for (const Case& c : {Case{"insert into t (interno) values ('C'), ('C'), ('C')", 3},
                        Case{"update t set s = 'x' where interno = 'C'", 3},
                        Case{"create table v (a)", 0},  // the last DML's count must not leak
                        Case{"update t set s = 'x' where interno = 'none'", 0},
                        Case{"select * from t", 0}, Case{"delete from t where interno = 'C'", 3},
                        Case{"insert into v values (1); insert into v values (2)", 2}}) {
    EXPECT_EQ(Exec(c.sql), Variant::Long(c.changed)) << c.sql;
  }
}

TEST_F(SqliteConnectionTest, RefusedStatementsCarryTheEnginesMessage) {
  Exec("create table k (a integer primary key)");
  Exec("insert into k values (1)");
  for (const auto& [sql, message] :
       {std::pair{"selec 1", "near \"selec\": syntax error"},
        {"select * from nope", "no such table: nope"},
        {"insert into k values (1)", "UNIQUE constraint failed: k.a"}}) {
    const Failure failure = test::FailureOf([&] { Exec(sql); });
    EXPECT_EQ(failure.number(), kSqliteErrorNumber) << sql;
    EXPECT_EQ(failure.description(), message);
    EXPECT_EQ(failure.source(), "SQLite");
  }
}

TEST_F(SqliteConnectionTest, OpenRefusesMissingFilesAndUnknownPragmaValues) {
  ExpectFailure([&] { SqliteConnection::Open(folder_.file("missing.db")); }, kSqliteErrorNumber);
  EXPECT_FALSE(std::filesystem::exists(folder_.file("missing.db")));
  ExpectFailure([&] { SqliteConnection::Open(folder_.file("t.db"), {.journalMode = "WAL; drop"}); },
                kSqliteErrorNumber);
  ExpectFailure([&] { SqliteConnection::Open(folder_.file("t.db"), {.synchronous = "SOMETIMES"}); },
                kSqliteErrorNumber);
}

TEST_F(SqliteConnectionTest, JournalModeAndSynchronousFollowTheOptions) {
  const auto pragma = [this](SqliteConnection& db, const std::string& name) {
    db.put_sql("pragma " + name);
    db.crearrs(recordset_);
    return rs().Fields(name).Value();
  };
  EXPECT_EQ(pragma(*connection_, "journal_mode"), Variant::String("wal"));
  EXPECT_EQ(pragma(*connection_, "synchronous"), Variant::Long(1));  // NORMAL
  auto durable = SqliteConnection::Open(
      folder_.file("d.db"),
      {.createIfMissing = true, .journalMode = "delete", .synchronous = "full"});
  EXPECT_EQ(pragma(*durable, "journal_mode"), Variant::String("delete"));
  EXPECT_EQ(pragma(*durable, "synchronous"), Variant::Long(2));
}

TEST_F(SqliteConnectionTest, ASecondWriterWaitsForTheLockInsteadOfFailing) {
  using namespace std::chrono;
  auto patient = SqliteConnection::Open(folder_.file("t.db"), {.busyTimeout = seconds(10)});
  auto impatient = SqliteConnection::Open(folder_.file("t.db"), {.busyTimeout = milliseconds(0)});
  Exec("begin immediate");
  Exec("insert into t (interno) values ('L')");

  impatient->put_sql("insert into t (interno) values ('I')");
  ExpectFailure([&] { impatient->ejecutar(); }, kSqliteErrorNumber);

  const auto start = steady_clock::now();
  auto waiting = std::async(std::launch::async, [&] {
    patient->put_sql("insert into t (interno) values ('P')");
    return patient->ejecutar();
  });
  std::this_thread::sleep_for(milliseconds(300));
  Exec("commit");
  EXPECT_EQ(waiting.get(), Variant::Long(1));
  EXPECT_GE(steady_clock::now() - start, milliseconds(250));
  Query("select count(*) as c from t where interno in ('L', 'P', 'I')");
  EXPECT_EQ(rs().Fields("c").Value(), Variant::Long(2));
}

}  // namespace
}  // namespace oq::sqlite
