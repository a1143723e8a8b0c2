// What only a database server shows during a copy: a statement the server itself refuses in the
// middle of a run, and the server ending the session in the middle of a run. Triggers cause both
// on the server, so the component's real connection meets a real refusal or disconnection.
#include <gtest/gtest.h>

#include <chrono>

#include "connectors/postgres/postgres_connection.h"
#include "support/copy_fixture.h"
#include "support/postgres_backend.h"

namespace oq::test {
namespace {

const ShownMessage kFin{64, "Fin del Proceso"};
const std::string kServerError = std::to_string(postgres::kPostgresError);

class ServerFaultsTest : public CopyFixture {
 protected:
  void SetUp() override {
    OQ_REQUIRE_TEST_SERVER();
    CopyFixture::SetUp();
    StartSession("A1");
    db_->InsertInterno("A1", 1, 1, 3);
    db_->Execute("update subitems set ncm = '1111111111 001'");  // all licence-marked
    db_->InsertNcm("1111111111", "001", Variant::String("*"));
  }
};

TEST_P(ServerFaultsTest, ARunTheServerRefusesOrCutsOffKeepsWhatWasWrittenAndTheNextRunCopies) {
  db_->Execute(
      "create function oq_fault() returns trigger language plpgsql as $$ begin "
      "if new.interno = 'B1' then raise exception 'partidas bloqueadas para %', new.interno; "
      "elsif new.interno = 'C1' and exists (select from subitems where interno = 'C1') then "
      "raise exception 'una sola partida'; "
      "elsif new.interno = 'D1' then perform pg_terminate_backend(pg_backend_pid()), "
      "pg_sleep(30); end if; return new; end $$");
  db_->Execute(
      "create trigger oq_fault before insert on subitems for each row execute function "
      "oq_fault()");
  struct Case {
    void (*run)(CopyContext&);
    const char* number;
    ShownMessage first;  // the server's text, perhaps followed by libpq's reason
    long items;          // items written before the fault, kept: the component has no transaction
  };
  const std::string lapi = " in procedure AgregarSubitems_ConLAPI of Formulario frmMAIN";
  const Case cases[] = {
      {&lpCopiar, "B1", {16, kServerError + " - partidas bloqueadas para B1"}, 0},
      {&lpCopiar_ConLAPI, "C1", {0, "Error " + kServerError + " (una sola partida)" + lapi}, 1},
      {&lpCopiar, "D1", {16, kServerError + " - Connection to the PostgreSQL server lost"}, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.number);
    platform_.clear();
    const auto start = std::chrono::steady_clock::now();
    Run(c.number, "1", c.run);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    ASSERT_EQ(platform_.messages().size(), 2u);
    EXPECT_EQ(platform_.messages()[0].style, c.first.style);
    const std::string& prompt = platform_.messages()[0].prompt;
    EXPECT_TRUE(prompt == c.first.prompt || prompt.starts_with(c.first.prompt + ": ")) << prompt;
    EXPECT_EQ(platform_.messages()[1], kFin);
    EXPECT_EQ(db_->Count("caratula", c.number), 1);
    EXPECT_EQ(db_->Count("subitems", c.number), c.items);
  }
  // The same connection and session state: the next run opens a new session and copies.
  platform_.clear();
  Run("OK");
  EXPECT_EQ(platform_.messages(), std::vector<ShownMessage>{kFin});
  EXPECT_EQ(db_->Count("subitems", "OK"), 3);
}

INSTANTIATE_TEST_SUITE_P(Server, ServerFaultsTest, testing::Values(MakePostgresBackend()),
                         [](const auto&) { return std::string("postgresql"); });

}  // namespace
}  // namespace oq::test
