#include "connectors/postgres/postgres_connection.h"

#include <gtest/gtest.h>
#ifdef __SANITIZE_ADDRESS__
// The address sanitizer's count of live heap bytes (GCC ships no header for it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include <chrono>
#include <memory>
#include <thread>

#include "connectors/components/dam_main.h"
#include "demo/demo_data.h"
#include "demo/demo_databases.h"
#include "demo/demo_ncm.h"
#include "demo/demo_schema.h"
#include "host/recordset.h"
#include "support/pg_test_server.h"

namespace oq::postgres {
namespace {

using std::chrono::steady_clock;

class PostgresConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OQ_REQUIRE_TEST_SERVER();
    database_ = std::make_unique<test::ScratchDatabase>(*test::TestServerUrl());
    connection_ = std::make_unique<PostgresConnection>(database_->url());
  }

  static Variant Execute(PostgresConnection& connection, const std::string& statement) {
    connection.put_sql(statement);
    return connection.ejecutar();
  }
  Variant Execute(const std::string& statement) { return Execute(*connection_, statement); }

  static Variant Query(PostgresConnection& connection, const std::string& statement,
                       const std::string& field) {
    Variant recordset;
    connection.put_sql(statement);
    connection.crearrs(recordset);
    auto rows = std::dynamic_pointer_cast<Recordset>(recordset.asObject());
    return rows->Fields(field).Value();
  }

  // The failure the statement raises; fails the test when it raises none.
  Failure FailureOf(const std::string& statement) {
    try {
      Execute(statement);
    } catch (const Failure& f) {
      return f;
    }
    ADD_FAILURE() << "no failure from: " << statement;
    return Failure(0, "");
  }

  // The failure of a long statement during which the server ends the session, through `admin`.
  Failure LoseTheSession(PostgresConnection& admin) {
    const Variant pid = Query(*connection_, "select pg_backend_pid() as pid", "pid");
    std::thread killer([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      Execute(admin, "select pg_terminate_backend(" + std::to_string(pid.toInt64()) + ")");
    });
    Failure lost = FailureOf("select pg_sleep(30)");
    killer.join();
    return lost;
  }

  std::unique_ptr<test::ScratchDatabase> database_;
  std::unique_ptr<PostgresConnection> connection_;
};

TEST_F(PostgresConnectionTest, EjecutarCountsRowsAndCrearrsAnswersMinusOneExactlyForARow) {
  EXPECT_EQ(Execute("create table facturas (interno text, orden integer)"), Variant::Long(0));
  EXPECT_EQ(Execute("insert into facturas values ('A', 1), ('A', 2), ('B', 1)"), Variant::Long(3));
  EXPECT_EQ(Execute("insert into facturas (interno, orden) select 'C', orden from facturas "
                    "where interno = 'A' order by orden"),
            Variant::Long(2));
  EXPECT_EQ(Execute("update facturas set orden = 9 where interno = 'none'"), Variant::Long(0));
  Variant recordset = Variant::String("previous value");
  connection_->put_sql("select interno from facturas where interno = 'X'");
  EXPECT_EQ(connection_->crearrs(recordset), Variant::Boolean(false));
  ASSERT_TRUE(recordset.isObject());
  EXPECT_TRUE(std::dynamic_pointer_cast<Recordset>(recordset.asObject())->Eof());
  connection_->put_sql("select interno from facturas where interno = 'B'");
  EXPECT_EQ(connection_->crearrs(recordset).toInt64(), -1);
  EXPECT_EQ(std::dynamic_pointer_cast<Recordset>(recordset.asObject())->Fields("INTERNO").Value(),
            Variant::String("B"));
}

TEST_F(PostgresConnectionTest, EachStatementCommitsOnItsOwn) {
  Execute("create table subitems (id serial primary key, interno text)");
  Execute("insert into subitems (interno) values ('A')");
  EXPECT_THROW(Execute("insert into subitems (interno, nope) values ('B', 1)"), Failure);

  // Another session sees the first insert at once: no transaction was left open around it.
  PostgresConnection other(database_->url());
  EXPECT_EQ(Query(other, "select count(*) as n from subitems", "n"), Variant::Long(1));
}

TEST_F(PostgresConnectionTest, BracketedNamesReachTheServerAsQuotedNames) {
  Execute("create table ncm (\"001\" text, \"002\" text, \"059\" text)");
  Execute("insert into ncm values ('8471.30.12', '100', '*'), ('8471.30.12', '200', '')");
  EXPECT_EQ(Query(*connection_,
                  "select [001] as total,[002] from ncm where (left('8471.30.12.100',10) = "
                  "[001] and substring('8471.30.12.100',12,3) = [002] and [059] = '*')",
                  "total"),
            Variant::String("8471.30.12"));
  EXPECT_EQ(Query(*connection_, "select '[001]' as literal", "literal"), Variant::String("[001]"));
}

TEST_F(PostgresConnectionTest, RefusedStatementFailsWithTheServersMessage) {
  const Failure missing = FailureOf("select * from nope");
  EXPECT_EQ(missing.number(), kPostgresError);
  EXPECT_EQ(missing.source(), "PostgreSQL");
  EXPECT_EQ(missing.description(), "relation \"nope\" does not exist");

  Execute("create table caratula (interno text primary key)");
  Execute("insert into caratula values ('A')");
  EXPECT_EQ(FailureOf("insert into caratula values ('A')").description(),
            "duplicate key value violates unique constraint \"caratula_pkey\" "
            "(Key (interno)=(A) already exists.)");

  // The session carries on after a refusal.
  EXPECT_EQ(Execute("insert into caratula values ('B')"), Variant::Long(1));
}

TEST_F(PostgresConnectionTest, LostConnectionFailsAtOnceAndTheNextStatementReconnects) {
  PostgresConnection admin(database_->url());

  // The server ends the session while a statement is running: the statement must fail as soon as
  // that happens, not when its 30 seconds are over.
  const auto start = steady_clock::now();
  const Failure lost = LoseTheSession(admin);
  EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(10));
  EXPECT_EQ(lost.number(), kPostgresError);
  EXPECT_TRUE(lost.description().starts_with("Connection to the PostgreSQL server lost"))
      << lost.description();
  EXPECT_FALSE(connection_->IsOpen());

  EXPECT_EQ(Query(*connection_, "select 42 as answer", "answer"), Variant::Long(42));
  EXPECT_TRUE(connection_->IsOpen());
}

TEST_F(PostgresConnectionTest, ARunsTransactionIsAllOrNothingAndALostOneIsNotReopened) {
  Execute("create table t (a integer)");
  connection_->BeginRun();
  Execute("insert into t values (1)");
  connection_->RollbackRun();
  connection_->BeginRun();
  Execute("insert into t values (2)");
  EXPECT_THROW(Execute("insert into missing values (3)"), Failure);
  // The server rolls back a failed transaction on COMMIT without an error: it must be reported.
  EXPECT_THROW(connection_->CommitRun(), Failure);
  EXPECT_EQ(Query(*connection_, "select count(*) as n from t", "n").toInt64(), 0);

  connection_->BeginRun();
  Execute("insert into t values (4)");
  PostgresConnection admin(database_->url());
  Execute(admin,
          "select pg_terminate_backend(pid) from pg_stat_activity where query like "
          "'insert into t values (4)%'");
  // Statements after the loss fail: a new session would write them outside the transaction.
  EXPECT_THROW(Execute("insert into t values (5)"), Failure);
  EXPECT_THROW(Execute("insert into t values (6)"), Failure);
  connection_->RollbackRun();
  EXPECT_EQ(Query(*connection_, "select count(*) as n from t", "n").toInt64(), 0);
}

#ifdef __SANITIZE_ADDRESS__
TEST_F(PostgresConnectionTest, EveryLostSessionIsFreed) {
  PostgresConnection admin(database_->url());
  LoseTheSession(admin);  // what the first loss allocates once
  const std::size_t before = __sanitizer_get_current_allocated_bytes();
  for (int i = 0; i < 3; ++i) LoseTheSession(admin);
  // Each loss leaves libpqxx's dropped result (about 2 KB, see tests/lsan.supp); a session left
  // behind would hold more than 30 KB of libpq's buffers.
  EXPECT_LT(__sanitizer_get_current_allocated_bytes() - before, 3 * 8192u);
}
#endif

TEST_F(PostgresConnectionTest, UnreachableDatabaseFailsToConnect) {
  try {
    PostgresConnection nowhere(test::WithDatabase(database_->url(), "no_such_database"));
    FAIL() << "connected to a database that does not exist";
  } catch (const Failure& f) {
    EXPECT_EQ(f.number(), kPostgresError);
    EXPECT_TRUE(f.description().starts_with("Cannot connect to the PostgreSQL server: "));
    EXPECT_NE(f.description().find("no_such_database"), std::string::npos) << f.description();
  }
}

// The demo schema uses unquoted names, so the statements of the copy steps find them whatever
// case they write them in, and the tariff lookup as the item copy builds it finds its rows.
TEST_F(PostgresConnectionTest, SchemaAndDataServeTheCopyStatements) {
  // Both databases in one here; run twice, the second time replacing the tables.
  demo::CreateDemoDatabases(*connection_, Dialect::kPostgres, *connection_, Dialect::kPostgres,
                            false);
  EXPECT_THROW(demo::CreateDemoDatabases(*connection_, Dialect::kPostgres, *connection_,
                                         Dialect::kPostgres, false),
               Failure);
  demo::CreateDemoDatabases(*connection_, Dialect::kPostgres, *connection_, Dialect::kPostgres,
                            true);

  const auto& first = demo::DemoInternos().front();
  const std::string where = " where interno = '" + std::string(first.numero) + "'";
  EXPECT_EQ(Query(*connection_,
                  "select count(interno) as cantidadDeSubitemsCargados from subitems" + where,
                  "cantidadDeSubitemsCargados")
                .kind(),
            Variant::Kind::kLong);
  EXPECT_TRUE(
      Query(*connection_, "select sum(fob) as total from subitems" + where, "total").isNumeric());
  EXPECT_EQ(Query(*connection_, "select count(*) as n from ncm", "n"),
            Variant::Long(static_cast<std::int32_t>(demo::kNcmDemoRows)));

  components::DamMain dam({{"INTERNOS", Dialect::kPostgres}});
  for (const demo::TariffCode& code : demo::DemoTariffCodes()) {
    const std::string ncm(code.code);
    const std::string lookup = "select [001] as total,[002] from ncm where (left('" + ncm +
                               "',10) = [001] and " +
                               dam.getMidFormatbyEntity("INTERNOS", "'" + ncm + "'", "12", "3") +
                               " = [002] and [059] = '*')";
    Variant recordset;
    connection_->put_sql(lookup);
    EXPECT_EQ(connection_->crearrs(recordset).isTrue(), code.mark == demo::Mark::kLicence) << ncm;
  }
}

TEST(PostgresUrlTest, KnowsTheUriSchemesAndRewritesTheDatabase) {
  EXPECT_TRUE(IsPostgresUrl("postgresql://host/db"));
  EXPECT_TRUE(IsPostgresUrl("postgres:///db"));
  EXPECT_FALSE(IsPostgresUrl("sqlite:/tmp/x.db"));
  EXPECT_EQ(test::WithDatabase("postgresql:///postgres?host=/tmp/s&user=u", "x"),
            "postgresql:///x?host=/tmp/s&user=u");
  EXPECT_EQ(test::WithDatabase("postgresql://u@h:5/postgres", "x"), "postgresql://u@h:5/x");
  EXPECT_EQ(test::WithDatabase("postgresql://h", "x"), "postgresql://h/x");
}

}  // namespace
}  // namespace oq::postgres
