// What only a database server shows during a copy: a statement the server itself refuses in the
// middle of a run, and the server ending the session in the middle of a run. Both are caused on
// the server by triggers, so the component's real connection meets a real refusal or a real
// disconnection.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

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

using std::chrono::steady_clock;

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
  }
  void TearDown() override {
    basGLOBAL::Reset();
    db_.reset();
  }

  // A trigger on subitems that runs `action` (PL/pgSQL) before inserting a row matching `when`.
  void TriggerOnItemInsert(const std::string& when, const std::string& action) {
    db_->Execute("create function oq_fault() returns trigger language plpgsql as $$ begin " +
                 action + "; return new; end $$");
    db_->Execute("create trigger oq_fault before insert on subitems for each row when (" + when +
                 ") execute function oq_fault()");
  }

  void RunFullCopy(const std::string& number) {
    form_.Text1 = number;
    form_.txtCopias = "1";
    lpCopiar(ctx_);
  }

  std::unique_ptr<TestDatabase> db_;
  TestForm form_;
  RecordingPlatform platform_;
  CopyContext ctx_{form_, platform_};
};

TEST_F(ServerFaultsTest, ItemCopyRefusedByTheServerKeepsTheCoverSheet) {
  TriggerOnItemInsert("new.interno = 'B1'",
                      "raise exception 'partidas bloqueadas para %', new.interno");
  RunFullCopy("B1");

  ASSERT_EQ(platform_.messages().size(), 2u);
  EXPECT_EQ(platform_.messages()[0],
            (ShownMessage{16, kServerError + " - partidas bloqueadas para B1"}));
  EXPECT_EQ(platform_.messages()[1], kFin);
  EXPECT_NE(form_.txtLOG.find("Error en agregar los Subitem's B1"), std::string::npos)
      << form_.txtLOG;
  // No transaction: the cover sheet and invoices written before the refusal stay.
  EXPECT_EQ(db_->Count("caratula", "B1"), 1);
  EXPECT_EQ(db_->Count("facturas", "B1"), 1);
  EXPECT_EQ(db_->Count("subitems", "B1"), 0);
}

TEST_F(ServerFaultsTest, LicenceCopyRefusedAtTheSecondItemKeepsTheFirst) {
  TriggerOnItemInsert("new.descripcion = 'item 2'",
                      "raise exception 'descripcion no admitida: %', new.descripcion");
  form_.Text1 = "B1";
  lpCopiar_ConLAPI(ctx_);

  ASSERT_FALSE(platform_.messages().empty());
  EXPECT_EQ(platform_.messages()[0],
            (ShownMessage{0, "Error " + kServerError +
                                 " (descripcion no admitida: item 2) in procedure "
                                 "AgregarSubitems_ConLAPI of Formulario frmMAIN"}));
  const auto items =
      db_->Query("select descripcion from subitems where interno = 'B1'", {"descripcion"});
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0][0], Variant::String("item 1"));
}

TEST_F(ServerFaultsTest, SessionEndedMidRunFailsClearlyAndARerunCopies) {
  // The server ends the copying session itself while it inserts the items of B1.
  TriggerOnItemInsert("new.interno = 'B1'",
                      "perform pg_terminate_backend(pg_backend_pid()); perform pg_sleep(30)");
  const auto start = steady_clock::now();
  RunFullCopy("B1");
  EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(10));

  ASSERT_EQ(platform_.messages().size(), 2u);
  const std::string lost = kServerError + " - Connection to the PostgreSQL server lost";
  EXPECT_EQ(platform_.messages()[0].style, 16);
  EXPECT_EQ(platform_.messages()[0].prompt.substr(0, lost.size()), lost)
      << platform_.messages()[0].prompt;
  EXPECT_EQ(platform_.messages()[1], kFin);
  EXPECT_EQ(db_->Count("caratula", "B1"), 1);
  EXPECT_EQ(db_->Count("subitems", "B1"), 0);

  // The same connection, the same session state: the next run opens a new session and copies.
  platform_.clear();
  RunFullCopy("B2");
  EXPECT_EQ(platform_.messages(), std::vector<ShownMessage>{kFin});
  EXPECT_EQ(db_->Count("caratula", "B2"), 1);
  EXPECT_EQ(db_->Count("subitems", "B2"), 3);
}

}  // namespace
}  // namespace oq::test
