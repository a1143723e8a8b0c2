// The program's copy session, on every backend: a fault or an interruption at any statement of any
// kind of run leaves the database as it was (a keep-partial run keeps its steps), the preview
// decides "kept" exactly as the copies do and writes nothing, and a split makes both copies or
// none.
#include <signal.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "connection_url.h"
#include "copy_session.h"
#include "demo/demo_data.h"
#include "demo/demo_databases.h"
#include "engine/table_layouts.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "interrupts.h"
#include "main_session.h"
#include "platform/settings_store.h"
#include "preview.h"
#include "support/faulty_connection.h"
#include "support/test_database.h"

namespace oq::test {
namespace {

class CopySessionTest : public testing::TestWithParam<std::shared_ptr<TestBackend>> {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>(GetParam());
    ::setenv("XDG_CONFIG_HOME", (db_->folder() / "config").c_str(), 1);
    const Dialect dialect = GetParam()->dialect();
    demo::CreateDemoDatabases(*db_->internos(), dialect, *db_->ncm(), dialect, true);
    // A: three items marked "*", "" and "*". GEN: the marks the demo lacks (a Null ncm, a position
    // with two rows, a mark that is neither, a code too short).
    db_->InsertInterno("A", 1, 2, 0);
    db_->InsertCaratula("GEN", TestDatabase::SampleCaratula(7));
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"3000000000", "*", "A"},     {"4000000000", "", "A"},   {"3000000000", nullptr, "A"},
        {"1111111111", "*", nullptr}, {"1111111111", "", "GEN"}, {"2222222222", "X", "GEN"}};
    for (const auto& [position, mark, interno] : rows) {
      if (mark != nullptr) db_->InsertNcm(position, "001", Variant::String(mark));
      if (interno == nullptr) continue;
      RowValues item = TestDatabase::SampleSubitem(3);
      item["ncm"] = Variant::String(std::string(position) + " 001");
      db_->InsertSubitem(interno, item);
    }
    for (const Variant& ncm : {Variant::Null(), Variant::String("short")}) {
      RowValues item = TestDatabase::SampleSubitem(3);
      item["ncm"] = ncm;
      db_->InsertSubitem("GEN", item);
    }
    app::RegisterComponentsFor(db_->internosUrl(), db_->ncmUrl());
    app::InstallInterruptHandlers();
  }

  // The program's run of `source`, one F11 press per (option, new number), through `internos`
  // (by default the test's connection); keeps the program's own lines in notes_.
  app::CopyResult Run(const std::string& source, std::vector<app::CopyRequest::Press> presses,
                      const char* copies = "1", std::shared_ptr<HostConnection> internos = nullptr,
                      bool keepPartial = false) {
    app::CopyRequest request;
    request.source = source;
    request.date = "'2024-05-17'";
    request.option = presses[0].option;
    request.newNumber = presses[0].newNumber;
    request.morePresses.assign(presses.begin() + 1, presses.end());
    request.copiesText = copies;
    request.keepPartial = keepPartial;
    std::ostringstream notes;
    auto* control = dynamic_cast<connectors::TransactionControl*>(db_->internos().get());
    auto result = app::RunCopySession({internos ? internos : db_->internos(), db_->ncm()}, control,
                                      request, nullptr, nullptr, notes);
    notes_ = notes.str();
    return result;
  }
  static std::vector<std::string> Prompts(const app::CopyResult& result) {
    std::vector<std::string> prompts;
    for (const auto& box : result.messages) prompts.push_back(box.prompt);
    return prompts;
  }
  // The database of internos, failing its statement `k`, or raising `signal` just before it.
  std::shared_ptr<FaultyConnection> Faulty(std::size_t k, int signal = 0) const {
    auto faulty = std::make_shared<FaultyConnection>(db_->internos());
    signal != 0 ? faulty->signalAt(k, signal) : faulty->failAt(k);
    return faulty;
  }
  // Rows per table, and on SQLite the file's bytes once the log is folded in.
  std::string Snapshot() const {
    std::ostringstream out;
    for (const std::string table : {"caratula", "facturas", "subitems"}) {
      out << db_->Query("select interno from " + table, {"interno"}).size() << ' ';
    }
    if (GetParam()->name() == "sqlite") {
      db_->Execute("PRAGMA wal_checkpoint(TRUNCATE)");
      out << std::ifstream(db_->folder() / "internos.db", std::ios::binary).rdbuf();
    }
    return out.str();
  }
  // Rows of `table` for one new number and its numbered copies.
  long Rows(const char* table, const std::string& number) const {
    long rows = db_->Count(table, number);
    for (const char* suffix : {"_1", "_2", "_3"}) rows += db_->Count(table, number + suffix);
    return rows;
  }
  static bool Marked(const std::string& number) {
    return SettingsStore::ForCurrentUser().Get("TRELVO", "PROCESOS", number).has_value();
  }
  app::Preview PreviewOf(const std::string& source) {
    const ObjectRef dam = CreateObject(std::string(identity::kDataAccessManagerProgId));
    return app::BuildPreview(*db_->internos(), *db_->ncm(), dynamic_cast<DataAccessManager&>(*dam),
                             source, ".");
  }

  std::unique_ptr<TestDatabase> db_;
  std::string notes_;
};

TEST_P(CopySessionTest, AFaultOrASignalAtAnyStatementWritesNothingAndKeepPartialKeepsTheSteps) {
  int positions = 0, partials = 0;
  for (const auto& [option, copies] :
       {std::pair{"todos", "1"}, {"todos", "3"}, {"con-lapi", "1"}, {"sin-lapi", "1"}}) {
    const std::string tag = std::string(option).substr(0, 3) + copies, guarded = "G" + tag;
    for (std::size_t k = 1;; ++k, ++positions) {
      SCOPED_TRACE(tag + ", statement " + std::to_string(k));
      const std::string before = Snapshot();
      const app::CopyResult failed = Run("A", {{option, guarded}}, copies, Faulty(k));
      if (failed.status == 0) break;  // past the last statement: the fault never fired
      EXPECT_EQ(failed.status, 1);
      EXPECT_EQ(Snapshot(), before);
      EXPECT_FALSE(Marked(guarded) || Marked(guarded + "_1"));
      EXPECT_NE(notes_.find("Nothing was written: "), std::string::npos) << notes_;

      // The same fault without the transaction: the component's own messages, and its steps kept.
      const std::string partial = "P" + tag + std::to_string(k);
      const app::CopyResult kept = Run("A", {{option, partial}}, copies, Faulty(k), true);
      EXPECT_EQ(kept.status, 1);
      partials += Rows("caratula", partial) + Rows("facturas", partial) > 0;
      // A server aborts the rest of a failed transaction, so later steps may report it too.
      if (GetParam()->name() == "sqlite") {
        EXPECT_EQ(Prompts(failed), Prompts(kept));
      }
      EXPECT_EQ(Prompts(failed).front(), Prompts(kept).front());

      // An interruption just before the same statement: rolled back, 128 + SIGINT.
      const std::string beforeSignal = Snapshot();
      EXPECT_EQ(Run("A", {{option, "S"}}, copies, Faulty(k, SIGINT)).status, 128 + SIGINT);
      EXPECT_EQ(Snapshot(), beforeSignal);
      EXPECT_NE(notes_.find("interrupted by SIGINT"), std::string::npos) << notes_;
    }
    // The last position reached made the copy: guarded runs commit what succeeds.
    EXPECT_GT(Rows("subitems", guarded), 0) << tag;
    EXPECT_TRUE(Marked(copies[0] == '3' ? guarded + "_3" : guarded)) << tag;
  }
  EXPECT_GT(positions, 30);
  EXPECT_GT(partials, positions / 2);
}

TEST_P(CopySessionTest, ThePreviewKeepsWhatTheCopiesWriteAndWritesNothing) {
  std::vector<std::string> sources = {"GEN"};
  for (const auto& interno : demo::DemoInternos()) sources.emplace_back(interno.numero);
  int compared = 0;
  for (const std::string& source : sources) {
    const app::Preview preview = PreviewOf(source);
    for (const bool con : {true, false}) {
      const std::string number = source + (con ? "-C" : "-S");
      if (!Run(source, {{con ? "con-lapi" : "sin-lapi", number}}).outcome->kept) continue;
      // (ncm, FOB) of each item the preview keeps, and of each the copy wrote.
      std::vector<std::string> kept, written;
      for (const app::PreviewItem& item : preview.items) {
        if (!(con ? item.conKeeps : item.sinKeeps)) continue;
        kept.push_back((item.ncm.empty() && item.position.empty() ? "Null" : "'" + item.ncm + "'") +
                       " " + Describe(Variant::Double(item.fob)));
      }
      for (const auto& row : db_->SubitemRows(number)) {
        written.push_back(Describe(row[1 + layout::kSubitemsNcm]) + " " +
                          Describe(Variant::Double(row[1 + layout::kSubitemsFob].toDouble())));
      }
      EXPECT_EQ(kept, written) << number;
      ++compared;
    }
  }
  EXPECT_GE(compared, 9);  // the runs of 2024-0103 (no items) and 2024-0105 con (a Null) fail
  const app::Preview mixed = PreviewOf("2024-0101");
  EXPECT_EQ(mixed.con.items + mixed.sin.items + mixed.neither.items, 25);
  EXPECT_EQ(mixed.neither.items, 7);
  std::vector<std::string> marks;
  for (const auto& item : PreviewOf("GEN").items) marks.push_back(item.mark);
  EXPECT_EQ(marks,
            (std::vector<std::string>{"several rows", "other: X", "not found", "not found"}));
  for (const std::string& url : {db_->internosUrl(), db_->ncmUrl()}) {
    auto readOnly = app::OpenConnectionReadOnly(url);
    readOnly->put_sql("insert into ncm ([001], [002], [059]) values ('9', '9', '*')");
    EXPECT_THROW(readOnly->ejecutar(), Failure) << url;
  }
}

TEST_P(CopySessionTest, ASplitMakesBothCopiesOrNothing) {
  const app::CopyResult made = Run("2024-0101", {{"con-lapi", "C"}, {"sin-lapi", "S"}});
  EXPECT_EQ(made.status, 0);
  ASSERT_EQ(made.created.size(), 2u);
  const app::Preview preview = PreviewOf("2024-0101");
  EXPECT_EQ(made.created[0].items, preview.con.items);
  EXPECT_NEAR(made.created[0].fob, preview.con.fob, 0.005);
  EXPECT_NEAR(made.created[1].fob, preview.sin.fob, 0.005);
  EXPECT_NEAR(made.created[0].fob + made.created[1].fob + preview.neither.fob, *preview.sourceFob,
              0.005);
  // The second number taken: neither copy stays.
  EXPECT_EQ(Run("2024-0101", {{"con-lapi", "C2"}, {"sin-lapi", "S"}}).status, 1);
  EXPECT_EQ(db_->Count("caratula", "C2") + db_->Count("subitems", "C2"), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, CopySessionTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
