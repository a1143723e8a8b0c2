#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/test_database.h"

namespace oq::test {
namespace {

struct ProgramResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

class CopyCommandTest : public testing::TestWithParam<std::shared_ptr<TestBackend>> {
 protected:
  void SetUp() override {
    db_ = std::make_unique<TestDatabase>(GetParam());
    db_->InsertInterno("A1", 1, 2, 3);
  }

  // Runs `oquardelino copy` on the test databases with `args` and the locale `locale`; the
  // user's settings go to the test's folder.
  // Without `withDatabases` the arguments name the databases themselves.
  ProgramResult Copy(const std::vector<std::string>& args, const std::string& locale = "C",
                     bool withDatabases = true) {
    std::string command = "env LC_ALL=" + locale +
                          " XDG_CONFIG_HOME=" + ShellQuoted((db_->folder() / "config").string()) +
                          " " OQ_PROGRAM + " copy";
    if (withDatabases) {
      command +=
          " --internos " + ShellQuoted(db_->internosUrl()) + " --ncm " + ShellQuoted(db_->ncmUrl());
    }
    for (const std::string& arg : args) command += " " + ShellQuoted(arg);
    const std::string errFile = (db_->folder() / "stderr.txt").string();
    command += " 2>" + ShellQuoted(errFile);
    ProgramResult result;
    FILE* pipe = ::popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      result.out.append(buffer, n);
    }
    result.status = WEXITSTATUS(::pclose(pipe));
    std::ostringstream err;
    err << std::ifstream(errFile).rdbuf();
    result.err = err.str();
    return result;
  }

  nlohmann::json CopyJson(std::vector<std::string> args, int status,
                          const std::string& locale = "C") {
    args.push_back("--json");
    const ProgramResult result = Copy(args, locale);
    EXPECT_EQ(result.status, status) << result.out << result.err;
    return nlohmann::json::parse(result.out);
  }

  std::unique_ptr<TestDatabase> db_;
};

TEST_P(CopyCommandTest, ACopyReportsItsRunAsJson) {
  db_->Execute("update caratula set fobdivisas = 12.5 where interno = 'A1'");
  const auto out = CopyJson({"--source", "A1", "--new", "B1", "--date", "'2024-05-17'"}, 0);
  EXPECT_EQ(out, nlohmann::json::parse(R"({"log": "Proceso terminado...", "copias": "1",
      "messages": [{"style": 64, "prompt": "Fin del Proceso"}], "pointer": 1,
      "created": [{"interno": "B1", "items": 3, "fob": 12.5}]})"));
  // Exit 1 and 2 print one object too; only a refusal has an error.
  EXPECT_EQ(CopyJson({"--source", "A1", "--new", "B1"}, 1)["created"], nlohmann::json::array());
  EXPECT_EQ(CopyJson({"--source", "A1", "--new", "B2", "--sorce", "x"}, 2)["error"],
            "unknown option --sorce (did you mean --source?)");
  const auto row = db_->CaratulaRow("B1");
  ASSERT_TRUE(row);
  EXPECT_TRUE(SameValue((*row)[37], Variant::String("2024-05-17")));
  EXPECT_EQ(db_->Count("subitems", "B1"), 3);
  EXPECT_EQ(db_->Count("facturas", "B1"), 2);
  // The copy left its mark where `oquardelino setting` reads it.
  const std::string setting =
      "XDG_CONFIG_HOME=" + ShellQuoted((db_->folder() / "config").string()) +
      " " OQ_PROGRAM " setting TRELVO PROCESOS B1";
  FILE* pipe = ::popen(setting.c_str(), "r");
  char value[16] = {};
  std::fread(value, 1, sizeof value - 1, pipe);
  EXPECT_EQ(WEXITSTATUS(::pclose(pipe)), 0);
  EXPECT_STREQ(value, "SI\n");
}

TEST_P(CopyCommandTest, ExitStatusSaysWhetherEveryCopyWasMade) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const std::vector<Case> cases = {
      {{"--source", "A1", "--new", "A1"}, 1},                               // taken
      {{"--source", "A1", "--new", std::string(41, 'x')}, 1},               // refused
      {{"--source", "A1", "--new", "C", "--copies-as-typed", "40000"}, 2},  // box overflows
      {{"--source", "A1", "--new", "E", "--date-sql", ""}, 1},              // invalid statement
      {{"--source", "A1", "--new", "F", "--copies", "2"}, 0},
      {{"--source", "A1", "--new", "H", "--date-sql", "'2024-01-02'"}, 0},
  };
  for (const Case& c : cases) {
    const ProgramResult result = Copy(c.args);
    EXPECT_EQ(result.status, c.status) << c.args.back() << "\n" << result.out << result.err;
  }
  EXPECT_EQ(db_->Count("caratula", "F_2"), 1);
  EXPECT_EQ(db_->Count("caratula", "H"), 1);
  // A run that failed wrote nothing, its invoices included.
  EXPECT_EQ(db_->Count("facturas", "E"), 0);
}

TEST_P(CopyCommandTest, RefusedArgumentsAndFailedChecksWriteNothing) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  };
  const std::vector<Case> cases = {
      {{"--new", "B", "--copies", "1e3"}, "--copies takes a whole number from 1 to 32767"},
      {{"--new", "B", "--copies", "0"}, "not '0'"},
      {{"--new", "B", "--copies", "32768"}, "not '32768'"},
      {{"--new", "B", "--copies", "51"}, "add --yes"},
      {{"--new", ""}, "--new must name the new interno"},
      {{"--new", "  "}, "empty or all blanks"},
      {{"--new", "B", "--date", "2025-02-30"}, "not '2025-02-30'"},
      {{"--new", "B", "--date", "31/01/2025"}, "--date takes a calendar date as YYYY-MM-DD"},
      {{"--new", "LONGNUMBER", "--max-length", "4"}, "longer than --max-length 4"},
      {{"--new", "B", "--source", "NONE"}, "the interno NONE to copy has no cover sheet"},
      {{"--new", "B", "--ncm", "sqlite:" + (db_->folder() / "x.db").string()}, "not found"},
      {{"--new", "B", "--option", "con-lapi", "--ncm", db_->internosUrl()},
       "the table ncm cannot be read"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"--internos", db_->internosUrl()};
    for (const char* own : {"--source", "--ncm"}) {
      if (std::find(c.args.begin(), c.args.end(), own) == c.args.end()) {
        args.insert(args.end(), {own, own[2] == 's' ? "A1" : db_->ncmUrl()});
      }
    }
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ProgramResult result = Copy(args, "C", false);
    EXPECT_EQ(result.status, 2) << c.says << "\n" << result.err;
    EXPECT_NE(result.err.find(c.says), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
  }
  if (GetParam()->name() == "sqlite") {
    const ProgramResult readOnly =
        Copy({"--internos", db_->internosUrl() + "?mode=ro", "--source", "A1", "--new", "B"}, "C",
             false);
    EXPECT_EQ(readOnly.status, 2);
    EXPECT_NE(readOnly.err.find("cannot be written: attempt to write a readonly database"),
              std::string::npos)
        << readOnly.err;
  }
  db_->Execute("alter table subitems drop column lapi");
  EXPECT_NE(Copy({"--source", "A1", "--new", "B"})
                .err.find("subitems in " + db_->internosUrl() + " lacks the column lapi"),
            std::string::npos);
  EXPECT_EQ(db_->Query("select interno from caratula", {"interno"}).size(), 1u);
}

TEST_P(CopyCommandTest, ADatabaseThatCannotBeOpenedIsABadArgument) {
  const std::string missing = "sqlite:" + (db_->folder() / "missing.db").string();
  ProgramResult result = Copy({"--internos", missing, "--source", "A1", "--new", "B"}, "C", false);
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("missing.db"), std::string::npos) << result.err;
  EXPECT_TRUE(result.out.empty());
  EXPECT_FALSE(std::filesystem::exists(db_->folder() / "missing.db"));
}

TEST_P(CopyCommandTest, ProgressShowsOnATerminalOnlyAndBoxesStartTheirOwnLine) {
  if (GetParam()->name() != "sqlite") GTEST_SKIP() << "the display does not depend on the engine";
  // 12,288 items that a licence-filtered copy keeps, one statement each: over half a second.
  db_->Execute("update subitems set FOB = 1");
  db_->MultiplyLicensedItems("A1", 12);
  const std::string args = " copy --internos " + ShellQuoted(db_->internosUrl()) + " --ncm " +
                           ShellQuoted(db_->ncmUrl()) + " --source A1 --option con-lapi --new ";
  const auto run = [&](const std::string& command) {
    const std::string file = (db_->folder() / "both.txt").string();
    EXPECT_EQ(std::system((command + " >" + ShellQuoted(file) + " 2>&1").c_str()), 0);
    std::ostringstream text;
    text << std::ifstream(file).rdbuf();
    return text.str();
  };
  const std::string terminal =
      run("script -qec " + ShellQuoted(OQ_PROGRAM + args + "T") + " /dev/null");
  EXPECT_NE(terminal.find("\r\033[Kcopy 1 of 1, items "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find(" of 12288, "), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("items/s\r\033[KProceso terminado...\r\n"), std::string::npos);
  // Off a terminal nothing extra, and a box that follows an open log line starts its own.
  EXPECT_EQ(run(OQ_PROGRAM + args + "P"),
            "Proceso terminado...\n[style 64] Fin del Proceso\ncreated P: 12288 items, FOB "
            "12288\n");
}

TEST_P(CopyCommandTest, WithoutJsonTheLogGoesToOutputAndBoxesToErrors) {
  db_->InsertCaratula("N_2", TestDatabase::SampleCaratula(2));
  const ProgramResult result = Copy({"--source", "A1", "--new", "N", "--copies", "2"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "Procesando...\nProcesando...El interno N_2 ya Existe! .-\nProceso terminado...\n"
            "created N_1: 3 items, FOB 7.25\n");
  EXPECT_EQ(result.err, "[style 64] Fin del Proceso\n");
}

TEST_P(CopyCommandTest, TheCopiesBoxAsTypedFollowsTheUsersLocale) {
  auto out = CopyJson({"--source", "A1", "--new", "P", "--copies-as-typed", "2.5"}, 0, "C");
  EXPECT_EQ(out["copias"], "2.5");
  out = CopyJson({"--source", "A1", "--new", "Q", "--copies-as-typed", "2.5"}, 0, "es_AR.UTF-8");
  EXPECT_EQ(out["copias"], "2,5");
  EXPECT_EQ(db_->Count("caratula", "Q_2"), 1);
  EXPECT_EQ(db_->Count("caratula", "Q_3"), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, CopyCommandTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
