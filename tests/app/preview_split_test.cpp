// The preview decides "kept" exactly as the copies do, writes nothing, and a split reconciles.
#include <gtest/gtest.h>

#include <sstream>

#include "connection_url.h"
#include "copy_session.h"
#include "demo/demo_data.h"
#include "demo/demo_databases.h"
#include "engine/table_layouts.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "main_session.h"
#include "preview.h"
#include "support/test_database.h"

namespace oq::test {
namespace {

class PreviewSplitTest : public testing::TestWithParam<std::shared_ptr<TestBackend>> {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>(GetParam());
    ::setenv("XDG_CONFIG_HOME", (db_->folder() / "config").c_str(), 1);
    const Dialect dialect = GetParam()->dialect();
    demo::CreateDemoDatabases(*db_->internos(), dialect, *db_->ncm(), dialect, true);
    // The marks the demo lacks: a Null ncm, a position with two rows, a mark that is neither.
    db_->InsertCaratula("GEN", TestDatabase::SampleCaratula(7));
    db_->InsertNcm("1111111111", "001", Variant::String("*"));
    db_->InsertNcm("1111111111", "001", Variant::String(""));
    db_->InsertNcm("2222222222", "002", Variant::String("X"));
    for (const Variant& ncm : {Variant::Null(), Variant::String("1111111111 001"),
                               Variant::String("2222222222 002"), Variant::String("short")}) {
      RowValues item = TestDatabase::SampleSubitem(3);
      item["ncm"] = ncm;
      db_->InsertSubitem("GEN", item);
    }
    app::RegisterComponentsFor(db_->internosUrl(), db_->ncmUrl());
  }

  app::Preview PreviewOf(const std::string& source) {
    const ObjectRef dam = CreateObject(std::string(identity::kDataAccessManagerProgId));
    return app::BuildPreview(*db_->internos(), *db_->ncm(), dynamic_cast<DataAccessManager&>(*dam),
                             source, ".");
  }

  // The program's run of `source`, one F11 press per (option, new number).
  app::CopyResult Run(const std::string& source, std::vector<app::CopyRequest::Press> presses) {
    app::CopyRequest request;
    request.source = source;
    request.option = presses[0].option;
    request.newNumber = presses[0].newNumber;
    request.morePresses.assign(presses.begin() + 1, presses.end());
    std::ostringstream notes;
    auto* control = dynamic_cast<connectors::TransactionControl*>(db_->internos().get());
    return app::RunCopySession({db_->internos(), db_->ncm()}, control, request, nullptr, nullptr,
                               notes);
  }

  std::unique_ptr<TestDatabase> db_;
};

TEST_P(PreviewSplitTest, ThePreviewKeepsWhatTheCopiesWrite) {
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
            (std::vector<std::string>{"not found", "several rows", "other: X", "not found"}));
  // The preview's connections cannot write.
  for (const std::string& url : {db_->internosUrl(), db_->ncmUrl()}) {
    auto readOnly = app::OpenConnectionReadOnly(url);
    readOnly->put_sql("insert into ncm ([001], [002], [059]) values ('9', '9', '*')");
    EXPECT_THROW(readOnly->ejecutar(), Failure) << url;
  }
}

TEST_P(PreviewSplitTest, ASplitMakesBothCopiesOrNothing) {
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

INSTANTIATE_TEST_SUITE_P(Backends, PreviewSplitTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
