// A guarded run spares round trips (repeated statements prepared once, lookups answered again from
// memory, item inserts sent together) and writes exactly what it writes without, on each engine,
// also when the database refuses an item in the middle of the copy.
#include <gtest/gtest.h>

#include "careful_host/run_guard.h"
#include "connectors/common/round_trips.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "demo/demo_schema.h"
#include "support/copy_fixture.h"

namespace oq::test {
namespace {

struct Copied {
  bool kept = false;
  std::string fault;
  std::vector<ShownMessage> boxes;
  std::vector<std::vector<Variant>> rows;
};

class RoundTripsTest : public CopyFixture {
 protected:
  void SetUp() override {
    CopyFixture::SetUp();
    db_->InsertInterno("A", 1, 1, 6);
    db_->MultiplyLicensedItems("A", 2);  // 24 items, one licensed tariff code
    db_->InsertNcm("2000000000", "002", Variant::String(""));
    const auto ids = db_->SubitemRows("A");
    for (std::size_t i : {3u, 4u, 9u, 17u}) {
      db_->Execute("update subitems set ncm = '2000000000 002' where id = " +
                   SqlLiteral(ids[i][0]));
    }
    for (std::size_t i : {9u, 12u}) {  // one item of each option
      db_->Execute("update subitems set descripcion_maria = 'refused' where id = " +
                   SqlLiteral(ids[i][0]));
    }
  }

  Copied Copy(bool fewer, void (*option)(careful::RunGuard&, CopyContext&), const std::string& to,
              std::shared_ptr<HostConnection> ncm = nullptr) {
    if (ncm == nullptr) ncm = db_->ncm();
    for (const auto& connection : {db_->internos(), db_->ncm()}) {
      dynamic_cast<connectors::RoundTrips&>(*connection).SetReusePrepared(fewer);
    }
    careful::RunGuardHooks hooks;
    hooks.fewerRoundTrips = fewer;
    careful::RunGuard guard(db_->internos(),
                            dynamic_cast<connectors::TransactionControl*>(db_->internos().get()),
                            hooks);
    SetUpSession(guard.connection(), guard.Lookups(ncm), "A", MakeDataAccessManager());
    platform_.clear();
    form_.Text1 = to;
    form_.txtCopias = "1";
    option(guard, ctx_);
    const careful::RunOutcome& outcome = *guard.lastOutcome();
    Copied copied{outcome.kept, outcome.fault, platform_.messages(), db_->SubitemRows(to)};
    for (const char* table : {"subitems", "facturas", "caratula"}) {
      db_->Execute(std::string("delete from ") + table + " where interno = '" + to + "'");
    }
    // The server names the refused row by its new id, which the two copies do not share.
    auto withoutId = [](std::string& text) {
      const std::size_t id = text.find("contains (");
      if (id != std::string::npos) text.erase(id, text.find(',', id) - id);
    };
    withoutId(copied.fault);
    for (ShownMessage& box : copied.boxes) withoutId(box.prompt);
    return copied;
  }
};

TEST_P(RoundTripsTest, FewerRoundTripsWriteTheSameRowsAndFailTheSameWay) {
  const struct {
    const char* name;
    void (*option)(careful::RunGuard&, CopyContext&);
  } options[] = {
      {"con LAPI",
       [](careful::RunGuard& g, CopyContext& c) { g.Wrap(CopyRuns::Engine()).conLAPI(c); }},
      {"sin LAPI",
       [](careful::RunGuard& g, CopyContext& c) { g.Wrap(CopyRuns::Engine()).sinLAPI(c); }},
  };
  int number = 0;
  for (const bool refused : {false, true}) {
    if (refused && GetParam()->name == "sqlite") {
      db_->Execute(
          "create trigger refuse before insert on subitems when new.interno <> 'A' and "
          "new.descripcion_maria = 'refused' begin select raise(abort, 'item refused'); end");
    } else if (refused) {
      db_->Execute(
          "alter table subitems add constraint refuse check (interno = 'A' or "
          "descripcion_maria <> 'refused') not valid");
    }
    for (const auto& option : options) {
      SCOPED_TRACE(std::string(option.name) + (refused ? ", an item refused" : ""));
      const Copied plain = Copy(false, option.option, "N" + std::to_string(++number));
      const Copied fewer = Copy(true, option.option, "N" + std::to_string(number));
      EXPECT_EQ(fewer.kept, !refused);
      EXPECT_EQ(fewer.kept, plain.kept);
      EXPECT_EQ(fewer.fault, plain.fault);
      EXPECT_EQ(fewer.boxes, plain.boxes);
      EXPECT_EQ(plain.rows.size(), refused ? 0u : option.name[0] == 'c' ? 20u : 4u);
      ExpectSameValues(fewer.rows, plain.rows, 2);
    }
  }
}

// Where the inserts of one batch are still running on the server while the copy builds the next
// ones, an item refused there fails the run as it does when sent alone: its own words, nothing
// kept.
TEST_P(RoundTripsTest, AnItemRefusedWhileItsBatchRunsFailsTheRunWithItsOwnWords) {
  db_->MultiplyLicensedItems("A", 6);  // 1,536 items, more than a batch; two refused among them
  if (GetParam()->name == "sqlite") {
    db_->Execute(
        "create trigger refuse before insert on subitems when new.interno <> 'A' and "
        "new.descripcion_maria = 'refused' begin select raise(abort, 'item refused'); end");
  } else {
    db_->Execute(
        "alter table subitems add constraint refuse check (interno = 'A' or "
        "descripcion_maria <> 'refused') not valid");
  }
  const auto conLAPI = [](careful::RunGuard& g, CopyContext& c) {
    g.Wrap(CopyRuns::Engine()).conLAPI(c);
  };
  const Copied plain = Copy(false, conLAPI, "N1");
  const Copied fewer = Copy(true, conLAPI, "N1");
  EXPECT_FALSE(fewer.kept);
  EXPECT_NE(fewer.fault.find("refuse"), std::string::npos) << fewer.fault;
  EXPECT_EQ(fewer.fault, plain.fault);
  EXPECT_EQ(fewer.boxes, plain.boxes);
  EXPECT_TRUE(fewer.rows.empty());
}

// A run's lookups read the NCM file under one lock, which the run lets go when it ends; when the
// lookup connection is a second one on the internos file itself, it holds nothing that the run's
// own commit would wait for.
TEST_P(RoundTripsTest, HeldLookupsLetGoAtTheRunsEndAndNeverHoldTheRunsOwnFile) {
  if (GetParam()->name != "sqlite") GTEST_SKIP() << "a server has no file locks";
  auto path = [](const std::string& url) { return url.substr(std::string("sqlite:").size()); };
  for (const std::string& statement : demo::NcmSchemaStatements(Dialect::kSqlite)) {
    db_->Execute(statement);
  }
  db_->Execute("attach database '" + path(db_->ncmUrl()) + "' as n");
  db_->Execute("insert into ncm select * from n.ncm");
  db_->Execute("detach database n");
  sqlite::OpenOptions quick;
  quick.busyTimeout = std::chrono::seconds(2);
  const auto conLAPI = [](careful::RunGuard& g, CopyContext& c) {
    g.Wrap(CopyRuns::Engine()).conLAPI(c);
  };

  const Copied onOwnFile =
      Copy(true, conLAPI, "N1", sqlite::SqliteConnection::Open(path(db_->internosUrl()), quick));
  EXPECT_TRUE(onOwnFile.kept) << onOwnFile.fault;
  const Copied onNcm = Copy(true, conLAPI, "N1");
  EXPECT_TRUE(onNcm.kept) << onNcm.fault;
  EXPECT_EQ(onNcm.rows.size(), 20u);
  ExpectSameValues(onOwnFile.rows, onNcm.rows, 2);

  quick.busyTimeout = std::chrono::milliseconds(0);
  const auto writer = sqlite::SqliteConnection::Open(path(db_->ncmUrl()), quick);
  writer->put_sql("update ncm set [059] = [059]");
  EXPECT_NO_THROW(writer->ejecutar());
}

INSTANTIATE_TEST_SUITE_P(Backends, RoundTripsTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
