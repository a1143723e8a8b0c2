#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
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
  const auto out = CopyJson({"--source", "A1", "--new", "B1", "--date", "'2024-05-17'"}, 0);
  EXPECT_EQ(out, nlohmann::json::parse(R"({"log": "Proceso terminado...", "copias": "1",
      "messages": [{"style": 64, "prompt": "Fin del Proceso"}], "pointer": 1})"));
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
      {{"--source", "A1", "--new", "A1"}, 1},                      // taken
      {{"--source", "A1", "--new", std::string(41, 'x')}, 1},      // refused
      {{"--source", "A1", "--new", "C", "--copies", "40000"}, 1},  // overflow
      {{"--source", "NONE", "--new", "D"}, 1},                     // no cover sheet
      {{"--source", "A1", "--new", "E", "--date", ""}, 1},         // invalid statement
      {{"--source", "A1", "--new", "F", "--copies", "2"}, 0},
      // a program's assignment is not cut to the typing limit
      {{"--source", "A1", "--new", "LONGNUMBER", "--max-length", "4"}, 0},
      {{"--source", "A1", "--new", "G", "--option", "otra"}, 2},  // bad argument
      {{"--source", "A1"}, 2},                                    // --new missing
  };
  for (const Case& c : cases) {
    const ProgramResult result = Copy(c.args);
    EXPECT_EQ(result.status, c.status) << c.args.back() << "\n" << result.out << result.err;
  }
  EXPECT_EQ(db_->Count("caratula", "F_2"), 1);
  EXPECT_EQ(db_->Count("caratula", "G"), 0);
  EXPECT_EQ(db_->Count("caratula", "LONGNUMBER"), 1);
}

TEST_P(CopyCommandTest, ADatabaseThatCannotBeOpenedIsABadArgument) {
  const std::string missing = "sqlite:" + (db_->folder() / "missing.db").string();
  ProgramResult result = Copy({"--internos", missing, "--source", "A1", "--new", "B"}, "C", false);
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.err.find("missing.db"), std::string::npos) << result.err;
  EXPECT_TRUE(result.out.empty());
  EXPECT_FALSE(std::filesystem::exists(db_->folder() / "missing.db"));
}

TEST_P(CopyCommandTest, WithoutJsonTheLogGoesToOutputAndBoxesToErrors) {
  db_->InsertCaratula("N_2", TestDatabase::SampleCaratula(2));
  const ProgramResult result = Copy({"--source", "A1", "--new", "N", "--copies", "2"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.out,
            "Procesando...\nProcesando...El interno N_2 ya Existe! .-\nProceso terminado...\n");
  EXPECT_EQ(result.err, "[style 64] Fin del Proceso\n");
}

TEST_P(CopyCommandTest, TheCopiesBoxFollowsTheUsersLocale) {
  auto out = CopyJson({"--source", "A1", "--new", "P", "--copies", "2.5"}, 0, "C");
  EXPECT_EQ(out["copias"], "2.5");
  out = CopyJson({"--source", "A1", "--new", "Q", "--copies", "2.5"}, 0, "es_AR.UTF-8");
  EXPECT_EQ(out["copias"], "2,5");
  EXPECT_EQ(db_->Count("caratula", "Q_2"), 1);
  EXPECT_EQ(db_->Count("caratula", "Q_3"), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, CopyCommandTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
