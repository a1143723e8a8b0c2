#pragma once

// The program on every backend, run as a user runs it and through its copy session: the fixture
// its tests share.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "careful_host/connection_url.h"
#include "careful_host/copy_session.h"
#include "careful_host/interrupts.h"
#include "careful_host/json_envelope.h"
#include "careful_host/main_session.h"
#include "careful_host/preview.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "demo/demo_data.h"
#include "demo/demo_databases.h"
#include "engine/table_layouts.h"
#include "host/class_identity.h"
#include "host/component_registry.h"
#include "host/failure.h"
#include "platform/settings_store.h"
#include "support/faulty_connection.h"
#include "support/test_database.h"

extern char** environ;

namespace oq::test {

inline std::string ReadFile(const std::filesystem::path& file) {
  return (std::ostringstream() << std::ifstream(file).rdbuf()).str();
}
inline testing::AssertionResult Has(const std::string& text, const std::string& part) {
  if (text.find(part) != std::string::npos) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "no '" << part << "' in: " << text;
}

// Starts `args` (the program first, found on PATH), its output to `out` and its errors to `err`.
inline pid_t Start(std::vector<std::string> args, const std::filesystem::path& out,
                   const std::filesystem::path& err) {
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

// The exit status, or 1000 + the signal that ended the program.
inline int Wait(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

class ProgramTest : public testing::TestWithParam<std::shared_ptr<TestBackend>> {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>(GetParam());
    ::setenv("XDG_CONFIG_HOME", (db_->folder() / "config").c_str(), 1);
    ::setenv("LC_ALL", "C", 1);
    const Dialect dialect = GetParam()->dialect;
    demo::CreateDemoDatabases(*db_->internos(), dialect, *db_->ncm(), dialect, true);
    // A: items marked "*", "" and "*". GEN: a Null ncm, two rows, a mark neither, a short code.
    db_->InsertInterno("A", 1, 2, 0);
    db_->Insert("caratula", "GEN", TestDatabase::SampleCaratula(7));
    const std::tuple<const char*, const char*, const char*> rows[] = {
        {"3000000000", "*", "A"},     {"4000000000", "", "A"},   {"3000000000", nullptr, "A"},
        {"1111111111", "*", nullptr}, {"1111111111", "", "GEN"}, {"2222222222", "X", "GEN"}};
    for (const auto& [position, mark, interno] : rows) {
      if (mark != nullptr) db_->InsertNcm(position, "001", Variant::String(mark));
      if (interno == nullptr) continue;
      RowValues item = TestDatabase::SampleSubitem(3);
      item["ncm"] = Variant::String(std::string(position) + " 001");
      db_->Insert("subitems", interno, item);
    }
    for (const Variant& ncm : {Variant::Null(), Variant::String("short")}) {
      RowValues item = TestDatabase::SampleSubitem(3);
      item["ncm"] = ncm;
      db_->Insert("subitems", "GEN", item);
    }
    careful::RegisterComponentsFor(db_->internosUrl(), db_->ncmUrl());
    careful::InstallInterruptHandlers();
  }

  // Runs `args` to its end: its exit status, and what it printed in out_ and err_.
  int Run(const std::vector<std::string>& args) {
    const int status = Wait(Start(args, file("out.txt"), file("err.txt")));
    out_ = ReadFile(file("out.txt"));
    err_ = ReadFile(file("err.txt"));
    return status;
  }
  // The copy command on the test's databases and source A, unless `args` name others.
  std::vector<std::string> CopyArgs(std::vector<std::string> args) const {
    const std::pair<const char*, std::string> defaults[] = {
        {"--internos", db_->internosUrl()}, {"--ncm", db_->ncmUrl()}, {"--source", "A"}};
    for (const auto& [option, value] : defaults) {
      if (std::ranges::find(args, option) == args.end()) args.insert(args.begin(), {option, value});
    }
    args.insert(args.begin(), {OQ_PROGRAM, "copy"});
    return args;
  }
  nlohmann::json CopyJson(std::vector<std::string> args, int status) {
    args.push_back("--json");
    EXPECT_EQ(Run(CopyArgs(args)), status) << out_ << err_;
    return nlohmann::json::parse(out_);
  }
  // A licence-filtered copy to `number`, started; its errors go to the file `err`, and with
  // `json` its object to out.txt.
  pid_t StartCopy(const std::string& number, const std::string& err, bool json = false) {
    std::vector<std::string> args = CopyArgs({"--option", "con-lapi", "--new", number});
    if (json) args.push_back("--json");
    return Start(args, json ? file("out.txt") : "/dev/null", file(err));
  }
  std::filesystem::path file(const std::string& name) const { return db_->folder() / name; }
  // True while a run of another program holds its transaction's lock.
  bool RunInProgress() const {
    if (GetParam()->name != "sqlite") {
      const std::string sql =
          "select objid from pg_locks where locktype = 'advisory' and database "
          "= (select oid from pg_database where datname = current_database())";
      return !db_->Query(sql, {"objid"}).empty();
    }
    auto probe = sqlite::SqliteConnection::Open(file("internos.db").string(),
                                                {.busyTimeout = std::chrono::milliseconds(0)});
    try {
      probe->BeginRun();
      probe->RollbackRun();
      return false;
    } catch (const Failure&) {
      return true;
    }
  }

  // The session on `source`, one F11 per (option, number), through `internos`; its lines in notes_.
  careful::CopyResult Session(const std::string& source,
                              std::vector<careful::CopyRequest::Press> presses,
                              const char* copies = "1",
                              std::shared_ptr<HostConnection> internos = nullptr,
                              bool keepPartial = false) {
    careful::CopyRequest request;
    request.source = source;
    request.date = "'2024-05-17'";
    std::tie(request.option, request.newNumber) = std::tie(presses[0].option, presses[0].newNumber);
    request.morePresses.assign(presses.begin() + 1, presses.end());
    std::tie(request.copiesText, request.keepPartial) = std::tuple(copies, keepPartial);
    std::ostringstream notes;
    auto* control = dynamic_cast<connectors::TransactionControl*>(db_->internos().get());
    auto result = careful::RunCopySession({internos ? internos : db_->internos(), db_->ncm()},
                                          control, request, nullptr, nullptr, notes);
    notes_ = notes.str();
    return result;
  }
  // The database of internos, failing its statement `k`, or raising `signal` just before it.
  std::shared_ptr<FaultyConnection> Faulty(std::size_t k, int signal = 0) const {
    auto faulty = std::make_shared<FaultyConnection>(db_->internos());
    signal != 0 ? faulty->signalAt(k, signal) : faulty->failAt(k);
    return faulty;
  }
  // Rows per table, and with `bytes` on SQLite the file's once the log is folded in (which drops
  // this process's locks on it, so only runs made in this process may follow).
  std::string Snapshot(bool bytes = true) const {
    std::ostringstream out;
    for (const std::string table : {"caratula", "facturas", "subitems"}) {
      out << db_->Query("select interno from " + table, {"interno"}).size() << ' ';
    }
    if (bytes && GetParam()->name == "sqlite") {
      db_->Execute("PRAGMA wal_checkpoint(TRUNCATE)");
      out << std::ifstream(file("internos.db"), std::ios::binary).rdbuf();
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
  careful::Preview PreviewOf(const std::string& source) {
    const ObjectRef dam = CreateObject(std::string(identity::kDataAccessManagerProgId));
    return careful::BuildPreview(*db_->internos(), *db_->ncm(),
                                 dynamic_cast<DataAccessManager&>(*dam), source, ".");
  }

  // What a kill sweep aims at: each step the program takes on the user's settings store, then on
  // the database (the file, or each message to the server).
  std::vector<std::vector<std::string>> KillTargets() const {
    const std::string kill = "inject=all:signal=KILL:when=";
    return {{"-P", file("config/oquardelino/settings.db").string(), "-e", kill},
            GetParam()->name == "sqlite"
                ? std::vector<std::string>{"-P", file("internos.db").string(), "-e", kill}
                : std::vector<std::string>{"-e", "trace=sendto", "-e",
                                           "inject=sendto:signal=KILL:when="}};
  }
  // The sweep's stride: the sanitizers' build sweeps every fourth step.
  static int KillStride() { return std::getenv("ASAN_OPTIONS") != nullptr ? 4 : 1; }
  // `args` run under strace, killed at step `k` of `target`.
  static std::vector<std::string> Killed(const std::vector<std::string>& target, int k,
                                         const std::vector<std::string>& args) {
    std::vector<std::string> traced = {"strace", "-f", "-qq", "-o", "/dev/null"};
    traced.insert(traced.end(), target.begin(), target.end());
    traced.back() += std::to_string(k);
    // The sanitizers' leak check cannot run under strace.
    if (const char* sanitizers = std::getenv("ASAN_OPTIONS")) {
      traced.insert(traced.end(),
                    {"env", std::string("ASAN_OPTIONS=") + sanitizers + ":detect_leaks=0"});
    }
    traced.insert(traced.end(), args.begin(), args.end());
    return traced;
  }

  std::unique_ptr<TestDatabase> db_;
  std::string out_, err_, notes_;
};

}  // namespace oq::test
