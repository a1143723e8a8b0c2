// Taking copies back: the history, the undo, and what the undo refuses, on every backend.
#include "careful_host/interno_print.h"
#include "connectors/common/snapshot_recordset.h"
#include "program_fixture.h"

namespace oq::test {
namespace {

class UndoTest : public ProgramTest {
 protected:
  int Undo(std::vector<std::string> args) {
    args.insert(args.begin(), {OQ_PROGRAM, "undo", "--internos", db_->internosUrl(), "--yes"});
    return Run(args);
  }
  nlohmann::json History(const std::string& number) {
    EXPECT_EQ(Run({OQ_PROGRAM, "history", "--json", "--number", number}), 0) << err_;
    return nlohmann::json::parse(out_)["runs"];
  }
  // Every row of the interno tables, sorted: the database's content, to compare.
  std::vector<std::string> Dump() const {
    std::vector<std::string> rows;
    for (const char* table : careful::kInternoTables) {
      db_->internos()->put_sql(std::string("select * from ") + table);
      Variant result;
      db_->internos()->crearrs(result);
      auto& set = dynamic_cast<connectors::SnapshotRecordset&>(*result.asObject());
      for (; !set.Eof(); set.MoveNext()) {
        std::string& row = rows.emplace_back(table);
        for (std::size_t c = 0; c < set.FieldCount(); ++c)
          row += "|" + Describe(set.FieldAt(c).Value());
      }
    }
    std::ranges::sort(rows);
    return rows;
  }
};

TEST_P(UndoTest, AnUndoLeavesTheDatabaseRowForRowAsBeforeTheCopyAndTheHistorySaysSo) {
  const auto before = Dump();
  ASSERT_EQ(Run(CopyArgs({"--new", "U", "--copies", "2"})), 0) << err_;
  ASSERT_EQ(Run(CopyArgs({"--new", "C", "--option", "con-lapi"})), 0) << err_;
  const auto runs = History("U_2");
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0]["source"], "A");
  EXPECT_EQ(runs[0]["internos"][1], nlohmann::json::parse(R"({"interno": "U_2", "option": "todos",
      "items": 3, "fob": 7.25, "undone": null})"));
  ASSERT_EQ(Undo({"--run", runs[0]["run"].dump(), "--json"}), 0) << err_;
  EXPECT_EQ(nlohmann::json::parse(out_)["undone"].size(), 2u);
  EXPECT_EQ(History("C")[0]["internos"][0]["option"], "con-lapi");
  ASSERT_EQ(Undo({"C"}), 0) << err_;
  EXPECT_EQ(out_, "undone C (run " + std::to_string(runs[0]["run"].get<int>() + 1) +
                      "): 2 items, FOB 58.50\n");
  EXPECT_EQ(Dump(), before);
  EXPECT_FALSE(Marked("U_1") || Marked("U_2") || Marked("C"));
  EXPECT_FALSE(History("U_1")[0]["internos"][0]["undone"].is_null());
  // Whatever the URL's spelling, the database is the same one.
  std::string url = db_->internosUrl();
  if (GetParam()->name == "sqlite") url.replace(url.rfind('/'), 1, "/./");
  EXPECT_EQ(Run({OQ_PROGRAM, "history", "--database", url}), 0) << err_;
  EXPECT_TRUE(Has(out_, "  U_1 (todos): 3 items, FOB ")) << out_;
  EXPECT_EQ(std::ranges::count(out_, '\n'), 5) << out_;
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"U_1"}, "U_1 is already undone"},
      {{"A"}, "A was not made by a copy recorded on this database"},
      {{"--run", "99"}, "there is no run 99 in the history"},
      {{}, "name the internos to undo"}};
  for (const auto& [args, says] : refused) {
    EXPECT_EQ(Undo(args), 2) << says;
    EXPECT_TRUE(Has(err_, says));
  }
}

TEST_P(UndoTest, AnInternoChangedOrReferredToIsRefusedWithNothingDeleted) {
  const std::pair<std::string, std::string> cases[] = {
      {"update subitems set fob = fob + 1 where id = (select min(id) from subitems where "
       "interno = 'V0')",
       "V0 cannot be undone: 1 item edited; nothing was deleted"},
      {"insert into facturas (interno, orden, factura) values ('V1', 9, 'F9')", "1 invoice added"},
      {"update caratula set fobdivisas = fobdivisas + 1 where interno = 'V2'", "a different FOB ("},
      {"delete from subitems where interno = 'V3'", "3 items removed"},
      {"insert into liq values (1, 'V4')", "rows of liq refer to its caratula"}};
  db_->Execute("create unique index ux_caratula on caratula (interno)");
  db_->Execute("create table liq (n integer, interno varchar(40) references caratula (interno))");
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string number = "V" + std::to_string(i);
    ASSERT_EQ(Run(CopyArgs({"--new", number})), 0) << err_;
    db_->Execute(cases[i].first);
    const auto before = Dump();
    EXPECT_EQ(Undo({number, "--json"}), 2) << out_;
    const auto json = nlohmann::json::parse(out_);
    EXPECT_EQ(json["error"]["code"], i == 4 ? "referenced" : "changed");
    EXPECT_TRUE(Has(json["error"]["message"], cases[i].second));
    EXPECT_EQ(Dump(), before);
    EXPECT_TRUE(Marked(number));
  }
  // Several internos go together or not at all.
  ASSERT_EQ(Run(CopyArgs({"--new", "Z"})), 0) << err_;
  EXPECT_EQ(Undo({"Z", "V0"}), 2);
  EXPECT_EQ(db_->Count("caratula", "Z") + db_->Count("caratula", "V0"), 2);
}

// Killed at any step it takes on the store or the database, an undo leaves the interno whole or
// gone, never a mark without its cover sheet; the next start settles its mark and its history.
TEST_P(UndoTest, AKillAtAnyStepLeavesTheInternoWholeOrGoneAndTheNextStartSettlesIt) {
  if (std::system("strace -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  int kills = 0;
  for (const auto& target : KillTargets()) {
    for (int k = 1;; k += KillStride(), ++kills) {
      const std::string number = "W" + std::to_string(kills);
      SCOPED_TRACE(number + ", killed at step " + std::to_string(k) + " of " + target[1]);
      ASSERT_EQ(Run(CopyArgs({"--new", number})), 0) << err_;
      const int status = Run(Killed(
          target, k, {OQ_PROGRAM, "undo", "--internos", db_->internosUrl(), "--yes", number}));
      auto rows = [&] {
        return db_->Count("caratula", number) + db_->Count("facturas", number) +
               db_->Count("subitems", number);
      };
      const long left = rows();
      if (status != 1000 + SIGKILL) {
        EXPECT_EQ(std::tuple(status, left), std::tuple(0, 0)) << err_;
        break;
      }
      EXPECT_TRUE(left == 0 || left == 6) << left;
      EXPECT_TRUE(!Marked(number) || left == 6);
      // Still whole, it is undone now; gone, the history already says so.
      EXPECT_EQ(Undo({number}), left == 0 ? 2 : 0) << err_;
      EXPECT_EQ(std::tuple(rows(), Marked(number)), std::tuple(0, false));
      EXPECT_FALSE(History(number)[0]["internos"][0]["undone"].is_null());
    }
  }
  EXPECT_GT(kills * KillStride(), 30);
}

INSTANTIATE_TEST_SUITE_P(Backends, UndoTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
