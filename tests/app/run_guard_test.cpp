// Every statement position of every kind of run, failed or interrupted in turn, on every backend:
// a guarded run leaves the database as it was, a keep-partial run keeps the steps it made.
#include <signal.h>
#include <stdlib.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "copy_session.h"
#include "host/component_registry.h"
#include "interrupts.h"
#include "main_session.h"
#include "platform/settings_store.h"
#include "support/faulty_connection.h"
#include "support/test_database.h"

namespace oq::test {
namespace {

struct RunKind {
  const char* option;
  const char* copies;
};

class RunGuardTest : public testing::TestWithParam<std::shared_ptr<TestBackend>> {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>(GetParam());
    ::setenv("XDG_CONFIG_HOME", (db_->folder() / "config").c_str(), 1);
    db_->InsertInterno("A", 1, 2, 0);
    const char* marks[] = {"*", "", "*"};
    for (int i = 0; i < 3; ++i) {
      const std::string position = std::to_string(i + 1) + "000000000";
      db_->InsertNcm(position, "001", Variant::String(marks[i]));
      RowValues item = TestDatabase::SampleSubitem(i);
      item["ncm"] = Variant::String(position + " 001");
      db_->InsertSubitem("A", item);
    }
    app::RegisterComponentsFor(db_->internosUrl(), db_->ncmUrl());
    app::InstallInterruptHandlers();
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

  // Rows per table for one new number and its numbered copies.
  std::string Counts(const std::string& number) const {
    std::string text;
    for (const char* table : {"caratula", "facturas", "subitems"}) {
      long rows = db_->Count(table, number);
      for (const char* suffix : {"_1", "_2", "_3"}) rows += db_->Count(table, number + suffix);
      text += std::to_string(rows) + " ";
    }
    return text;
  }

  // The program's run, through `internos`; gives the prompts of its boxes, and keeps its notes.
  std::pair<int, std::vector<std::string>> Copy(const RunKind& kind, const std::string& number,
                                                std::shared_ptr<HostConnection> internos,
                                                bool keepPartial) {
    app::CopyRequest request;
    request.source = "A";
    request.date = "'2024-05-17'";
    request.newNumber = number;
    request.copiesText = kind.copies;
    request.option = kind.option;
    request.keepPartial = keepPartial;
    std::ostringstream notes;
    auto* control = dynamic_cast<connectors::TransactionControl*>(db_->internos().get());
    const auto result = app::RunCopySession({std::move(internos), db_->ncm()}, control, request,
                                            nullptr, nullptr, notes);
    notes_ = notes.str();
    std::vector<std::string> prompts;
    for (const auto& box : result.messages) prompts.push_back(box.prompt);
    return {result.status, prompts};
  }

  // The database of internos, failing its statement `k`, or raising `signal` just before it.
  std::shared_ptr<FaultyConnection> Faulty(std::size_t k, int signal = 0) const {
    auto faulty = std::make_shared<FaultyConnection>(db_->internos());
    signal != 0 ? faulty->signalAt(k, signal) : faulty->failAt(k);
    return faulty;
  }
  static bool Marked(const std::string& number) {
    return SettingsStore::ForCurrentUser().Get("TRELVO", "PROCESOS", number).has_value();
  }

  std::unique_ptr<TestDatabase> db_;
  std::string notes_;
};

TEST_P(RunGuardTest, AFaultOrASignalAtAnyStatementWritesNothingAndKeepPartialKeepsTheSteps) {
  int positions = 0, partials = 0;
  for (const RunKind kind :
       {RunKind{"todos", "1"}, {"todos", "3"}, {"con-lapi", "1"}, {"sin-lapi", "1"}}) {
    const std::string tag = std::string(kind.option).substr(0, 3) + kind.copies;
    const std::string guarded = "G" + tag;
    for (std::size_t k = 1;; ++k, ++positions) {
      SCOPED_TRACE(tag + ", statement " + std::to_string(k));
      const std::string before = Snapshot();
      const auto [status, shown] = Copy(kind, guarded, Faulty(k), false);
      if (status == 0) break;  // past the last statement: the fault never fired
      EXPECT_EQ(status, 1);
      EXPECT_EQ(Snapshot(), before);
      EXPECT_FALSE(Marked(guarded) || Marked(guarded + "_1"));
      EXPECT_NE(notes_.find("Nothing was written: "), std::string::npos) << notes_;

      // The same fault without the transaction: the component's own messages, and its steps kept.
      const std::string partial = "P" + tag + std::to_string(k);
      const auto [keptStatus, kept] = Copy(kind, partial, Faulty(k), true);
      EXPECT_EQ(keptStatus, 1);
      partials += Counts(partial) != "0 0 0 ";
      // A server aborts the rest of a failed transaction, so later steps may report it too.
      EXPECT_EQ(GetParam()->name() == "sqlite" ? shown : kept, kept);
      EXPECT_EQ(shown.front(), kept.front());

      // An interruption just before the same statement: rolled back, 128 + SIGINT.
      const std::string beforeSignal = Snapshot();
      EXPECT_EQ(Copy(kind, "S", Faulty(k, SIGINT), false).first, 128 + SIGINT);
      EXPECT_EQ(Snapshot(), beforeSignal);
      EXPECT_NE(notes_.find("interrupted by SIGINT"), std::string::npos) << notes_;
    }
    // The last position reached made the copy: guarded runs commit what succeeds.
    EXPECT_NE(Counts(guarded), "0 0 0 ") << tag;
    EXPECT_TRUE(Marked(kind.copies[0] == '3' ? guarded + "_3" : guarded)) << tag;
  }
  EXPECT_GT(positions, 30);
  EXPECT_GT(partials, positions / 2);
  std::cout << "[ swept ] " << positions << " statement positions on " << GetParam()->name()
            << '\n';
}

INSTANTIATE_TEST_SUITE_P(Backends, RunGuardTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
