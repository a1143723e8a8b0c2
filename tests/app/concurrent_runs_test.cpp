// Programs that run at the same time as others, or are stopped by a signal mid-run.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "connectors/sqlite/sqlite_connection.h"
#include "engine/table_layouts.h"
#include "host/failure.h"
#include "support/test_database.h"

extern char** environ;

namespace oq::test {
namespace {

class ConcurrentRunsTest : public testing::TestWithParam<std::shared_ptr<TestBackend>> {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>(GetParam());
    db_->InsertInterno("A", 1, 2, 1);
    ::setenv("XDG_CONFIG_HOME", (db_->folder() / "config").c_str(), 1);
  }

  // Starts `oquardelino copy` on the test databases; its standard error goes to `errFile`.
  pid_t Start(const std::vector<std::string>& args, const std::string& errFile) {
    std::vector<std::string> all = {OQ_PROGRAM, "copy",        "--internos", db_->internosUrl(),
                                    "--ncm",    db_->ncmUrl(), "--source",   "A"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& arg : all) argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, OQ_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  static int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
  }

  static std::string Read(const std::string& file) {
    std::ostringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
  }

  // True while a run of another program holds its transaction's lock.
  bool RunInProgress() const {
    if (GetParam()->name() != "sqlite") {
      return !db_->Query(
                     "select objid from pg_locks where locktype = 'advisory' and database = "
                     "(select oid from pg_database where datname = current_database())",
                     {"objid"})
                  .empty();
    }
    sqlite::OpenOptions options;
    options.busyTimeout = std::chrono::milliseconds(0);
    auto probe = sqlite::SqliteConnection::Open((db_->folder() / "internos.db").string(), options);
    try {
      probe->BeginRun();
      probe->RollbackRun();
      return false;
    } catch (const Failure&) {
      return true;
    }
  }

  std::unique_ptr<TestDatabase> db_;
};

TEST_P(ConcurrentRunsTest, TwoProgramsCopyingToOneNumberMakeExactlyOneCopy) {
  const std::string errA = (db_->folder() / "a.txt").string();
  const std::string errB = (db_->folder() / "b.txt").string();
  // Long enough runs (256 items, one statement each) that unguarded runs overlap between the
  // existence check and the cover sheet.
  db_->MultiplyLicensedItems("A", 8);
  for (int round = 0; round < 20; ++round) {
    const std::string number = "R" + std::to_string(round);
    const pid_t a = Start({"--new", number, "--option", "con-lapi"}, errA);
    const pid_t b = Start({"--new", number, "--option", "con-lapi"}, errB);
    const int statusA = Wait(a), statusB = Wait(b);
    EXPECT_EQ(statusA + statusB, 1) << round << Read(errA) << Read(errB);
    EXPECT_EQ(db_->Count("caratula", number), 1);
    EXPECT_EQ(db_->Count("subitems", number), 256);
    EXPECT_EQ(db_->Count("facturas", number), 2);
  }
}

TEST_P(ConcurrentRunsTest, ASignalMidRunWritesNothingAndTheSameCommandThenCopiesExactly) {
  db_->MultiplyLicensedItems("A", 13);
  const std::string err = (db_->folder() / "err.txt").string();
  ASSERT_EQ(Wait(Start({"--new", "CLEAN", "--option", "con-lapi"}, err)), 0) << Read(err);
  ASSERT_EQ(db_->Count("subitems", "CLEAN"), 8192);

  for (const int signal : {SIGINT, SIGTERM}) {
    const pid_t pid = Start({"--new", "N", "--option", "con-lapi"}, err);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!RunInProgress() && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(pid, signal);
    EXPECT_EQ(Wait(pid), 128 + signal) << Read(err);
    EXPECT_NE(Read(err).find("Nothing was written: the run was interrupted by SIG"),
              std::string::npos)
        << Read(err);
    EXPECT_EQ(db_->Count("subitems", "N"), 0);
    EXPECT_EQ(db_->Count("caratula", "N"), 0);
  }

  ASSERT_EQ(Wait(Start({"--new", "N", "--option", "con-lapi"}, err)), 0) << Read(err);
  const auto clean = db_->SubitemRows("CLEAN");
  const auto again = db_->SubitemRows("N");
  ASSERT_EQ(again.size(), clean.size());
  for (std::size_t row = 0; row < clean.size(); ++row) {
    for (std::size_t column = 2; column < clean[row].size(); ++column) {  // past id and interno
      ASSERT_TRUE(SameValue(again[row][column], clean[row][column])) << row << ":" << column;
    }
  }
  auto cleanCover = *db_->CaratulaRow("CLEAN"), coverAgain = *db_->CaratulaRow("N");
  for (std::size_t column = 0; column < cleanCover.size(); ++column) {
    if (column == layout::kCaratulaInterno) continue;
    EXPECT_TRUE(SameValue(coverAgain[column], cleanCover[column])) << column;
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, ConcurrentRunsTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
