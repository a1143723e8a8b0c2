// What only a database server shows during a copy: a statement the server itself refuses in the
// middle of a run, and the server ending the session in the middle of a run. Triggers cause both
// on the server, so the component's real connection meets a real refusal or disconnection.
#include <gtest/gtest.h>

#include <chrono>

#include "connectors/postgres/postgres_connection.h"
#include "engine/copy_runs.h"
#include "host/basGLOBAL.h"
#include "support/pg_test_server.h"
#include "support/postgres_backend.h"
#include "support/recording_platform.h"
#include "support/session.h"
#include "support/test_database.h"
#include "support/test_form.h"

namespace oq::test {
namespace {

const ShownMessage kFin{64, "Fin del Proceso"};
const std::string kServerError = std::to_string(postgres::kPostgresError);

class ServerFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OQ_REQUIRE_TEST_SERVER();
    db_ = std::make_unique<TestDatabase>(MakePostgresBackend());
    SetUpSession({db_->internos(), db_->ncm(), "'2024-05-17'", "A1", MakeDataAccessManager(), 0});
    db_->InsertCaratula("A1", TestDatabase::SampleCaratula(1));
    db_->InsertFactura("A1", 1, "F-1");
    for (int i = 0; i < 3; ++i) {
      RowValues item = TestDatabase::SampleSubitem(10 + i);
      item["ncm"] = Variant::String("1111111111 001");
      item["descripcion"] = Variant::String("item " + std::to_string(i + 1));
      db_->InsertSubitem("A1", item);
    }
    db_->InsertNcm("1111111111", "001", Variant::String("*"));
    form_.txtCopias = "1";
  }
  void TearDown() override {
    basGLOBAL::Reset();
    db_.reset();
  }

  std::unique_ptr<TestDatabase> db_;
  TestForm form_;
  RecordingPlatform platform_;
  CopyContext ctx_{form_, platform_};
};

TEST_F(ServerFaultsTest, ARunTheServerRefusesOrCutsOffKeepsWhatWasWrittenAndTheNextRunCopies) {
  struct Case {
    void (*run)(CopyContext&);
    const char* number;
    const char* when;    // which item inserts the trigger stops
    const char* action;  // PL/pgSQL run before the insert
    ShownMessage first;  // the server's text, perhaps followed by libpq's reason
    long items;          // items written before the fault, kept: the component has no transaction
  };
  const Case cases[] = {
      {&lpCopiar, "B1", "new.interno = 'B1'",
       "raise exception 'partidas bloqueadas para %', new.interno",
       {16, kServerError + " - partidas bloqueadas para B1"}, 0},
      {&lpCopiar_ConLAPI, "C1", "new.interno = 'C1' and new.descripcion = 'item 2'",
       "raise exception 'descripcion no admitida: %', new.descripcion",
       {0, "Error " + kServerError + " (descripcion no admitida: item 2) in procedure "
                                     "AgregarSubitems_ConLAPI of Formulario frmMAIN"},
       1},
      {&lpCopiar, "D1", "new.interno = 'D1'",
       "perform pg_terminate_backend(pg_backend_pid()); perform pg_sleep(30)",
       {16, kServerError + " - Connection to the PostgreSQL server lost"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    const std::string name = std::string("oq_fault_") + c.number;
    db_->Execute("create function " + name + "() returns trigger language plpgsql as $$ begin " +
                 c.action + "; return new; end $$");
    db_->Execute("create trigger " + name + " before insert on subitems for each row when (" +
                 c.when + ") execute function " + name + "()");
    platform_.clear();
    form_.Text1 = c.number;
    const auto start = std::chrono::steady_clock::now();
    c.run(ctx_);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    ASSERT_EQ(platform_.messages().size(), 2u);
    EXPECT_EQ(platform_.messages()[0].style, c.first.style);
    const std::string& prompt = platform_.messages()[0].prompt;
    EXPECT_TRUE(prompt.starts_with(c.first.prompt)) << prompt;
    EXPECT_TRUE(prompt.size() == c.first.prompt.size() ||
                prompt.substr(c.first.prompt.size()).starts_with(": "))
        << prompt;
    EXPECT_EQ(platform_.messages()[1], kFin);
    EXPECT_EQ(db_->Count("caratula", c.number), 1);
    EXPECT_EQ(db_->Count("subitems", c.number), c.items);
  }
  // The same connection and session state: the next run opens a new session and copies.
  platform_.clear();
  form_.Text1 = "OK";
  lpCopiar(ctx_);
  EXPECT_EQ(platform_.messages(), std::vector<ShownMessage>{kFin});
  EXPECT_EQ(db_->Count("subitems", "OK"), 3);
}

}  // namespace
}  // namespace oq::test
