// The program on every backend, run as a user runs it and through its copy session.
#include "program_fixture.h"

namespace oq::test {
namespace {

TEST_P(ProgramTest, ACopyReportsItsRunAsJsonAndLeavesItsMark) {
  db_->Execute("update caratula set fobdivisas = 12.5 where interno = 'A'");
  EXPECT_EQ(CopyJson({"--new", "B1", "--date", "'2024-05-17'"}, 0),
            nlohmann::json::parse(
                R"({"version": ")" + careful::ProgramVersion() +
                R"(", "ok": true, "error": null, "log": "Proceso terminado...", "copias": "1",
      "messages": [{"style": 64, "prompt": "Fin del Proceso"}], "pointer": 1,
      "created": [{"interno": "B1", "items": 3, "fob": 12.5}]})"));
  EXPECT_TRUE(SameValue(db_->CaratulaRow("B1").value()[37], Variant::String("2024-05-17")));
  EXPECT_EQ(db_->Count("facturas", "B1"), 2);
  // The mark is where `oquardelino setting` reads it; a missing one prints nothing.
  EXPECT_EQ(Run({OQ_PROGRAM, "setting", "TRELVO", "PROCESOS", "B1"}), 0);
  EXPECT_EQ(out_, "SI\n");
  EXPECT_EQ(Run({OQ_PROGRAM, "setting", "TRELVO", "PROCESOS", "B9"}), 1);
  EXPECT_EQ(out_, "");

  // Every exit of every command prints one object, with the code of what went wrong.
  db_->Insert("caratula", "EMPTY", TestDatabase::SampleCaratula(1));
  const std::tuple<std::vector<std::string>, int, const char*> failures[] = {
      {CopyArgs({"--new", "B1"}), 1, "number-taken"},
      {CopyArgs({"--new", "B2", "--source", "EMPTY", "--option", "sin-lapi"}), 1, "run-failed"},
      {CopyArgs({"--new", "B2", "--sorce", "x"}), 2, "bad-argument"},
      {CopyArgs({"--new", " B2"}), 2, "bad-argument"},
      {CopyArgs({"--new", "B2", "--source", "NONE"}), 2, "check-failed"},
      {{OQ_PROGRAM, "preview", "--internos", db_->internosUrl(), "--bogus"}, 2, "bad-argument"},
      {{OQ_PROGRAM, "split", "--internos", db_->internosUrl()}, 2, "bad-argument"},
      {{OQ_PROGRAM, "setting", "trelvo", "procesos", "b9"}, 1, "not-found"}};
  for (auto [args, status, code] : failures) {
    args.push_back("--json");
    EXPECT_EQ(Run(args), status) << out_ << err_;
    const auto json = nlohmann::json::parse(out_);
    EXPECT_EQ(std::tie(json["version"], json["ok"], json["error"]["code"]),
              std::tuple(careful::ProgramVersion(), false, code))
        << out_;
  }
  EXPECT_EQ(nlohmann::json::parse(out_)["value"], nullptr);
  EXPECT_EQ(Run({OQ_PROGRAM, "setting", "trelvo", "procesos", "b1"}), 0);  // names in any case
  EXPECT_EQ(Run({OQ_PROGRAM, "copi"}), 2);
  EXPECT_TRUE(Has(err_, "unknown command copi (did you mean copy?)"));
  // The copies box as typed follows the user's locale.
  EXPECT_EQ(CopyJson({"--new", "P", "--copies-as-typed", "2.5"}, 0)["copias"], "2.5");
  ::setenv("LC_ALL", "es_AR.UTF-8", 1);
  EXPECT_EQ(CopyJson({"--new", "Q", "--copies-as-typed", "2.5"}, 0)["copias"], "2,5");
  EXPECT_EQ(db_->Count("caratula", "Q_2") + db_->Count("caratula", "Q_3"), 1);

  // Without --json the log goes to the output and the boxes to the errors.
  ::setenv("LC_ALL", "C", 1);
  db_->Insert("caratula", "N_2", TestDatabase::SampleCaratula(2));
  EXPECT_EQ(Run(CopyArgs({"--new", "N", "--copies", "2"})), 1);
  EXPECT_EQ(out_,
            "Procesando...\nProcesando...El interno N_2 ya Existe! .-\nProceso terminado...\n"
            "created N_1: 3 items, FOB 12.50\n");
  EXPECT_EQ(err_, "[style 64] Fin del Proceso\n");
}

// Only a run that made every copy exits 0 and writes (or keeps partial ones); refusals take a line.
TEST_P(ProgramTest, ExitStatusAndRefusals) {
  const std::string folder = db_->folder().string();
  std::vector<std::tuple<std::vector<std::string>, int, std::string>> cases = {
      {{"--new", "A"}, 1, ""},                                // taken
      {{"--new", std::string(41, 'x')}, 1, ""},               // refused by the component
      {{"--new", "C", "--copies-as-typed", "40000"}, 2, ""},  // the box overflows
      {{"--new", "E", "--date-sql", ""}, 2, "--date-sql '' is not one value"},
      {{"--new", "E", "--date-sql", "'2024-01-01'; delete from caratula"}, 2, "holds a ';'"},
      {{"--new", "E", "--date-sql", "'2024-01-01' -- rest"}, 2, "holds a comment"},
      {{"--new", "E", "--date-sql", "'1'), ('2'"}, 2, "closes a bracket it did not open"},
      {{"--new", "B", "--copies", "1e3"}, 2, "--copies takes a whole number from 1 to 32767"},
      {{"--new", "B", "--copies", "0"}, 2, "not '0'"},
      {{"--new", "B", "--copies", "32768"}, 2, "not '32768'"},
      {{"--new", "B", "--copies", "51"}, 2, "add --yes"},
      {{"--new", ""}, 2, "--new must name the new interno"},
      {{"--new", "  "}, 2, "empty or all blanks"},
      {{"--new", "B "}, 2, "has blanks before or after it"},
      {{"--new", " K", "--number-as-typed"}, 0, ""},
      {{"--new", "B", "--date", "2025-02-30"}, 2, "not '2025-02-30'"},
      {{"--new", "B", "--date", "31/01/2025"}, 2, "--date takes a calendar date as YYYY-MM-DD"},
      {{"--new", "LONGNUMBER", "--max-length", "4"}, 2, "longer than --max-length 4"},
      {{"--new", "B", "--source", "NONE"}, 2, "the interno NONE to copy has no cover sheet"},
      {{"--new", "B", "--ncm", "sqlite:" + folder + "/x.db"}, 2, "database file not found"},
      {{"--new", "B", "--internos", "sqlite:" + folder + "/missing.db"}, 2, "missing.db"},
      {{"--new", "B", "--option", "con-lapi", "--ncm", db_->internosUrl()}, 2, "ncm cannot be"},
      {{"--new", "F", "--copies", "2"}, 0, ""},
      {{"--new", "H", "--date-sql", "'2024-01-02'"}, 0, ""},
  };
  if (GetParam()->name == "sqlite") {
    cases.push_back({{"--new", "B", "--internos", db_->internosUrl() + "?mode=ro"}, 2, "readonly"});
  }
  for (const auto& [args, status, says] : cases) {
    SCOPED_TRACE(args[1] + " " + args.back());
    const std::string before = Snapshot(false);
    EXPECT_EQ(Run(CopyArgs(args)), status) << out_ << err_;
    EXPECT_EQ(Snapshot(false) == before, status != 0 && args.back() != "--keep-partial");
    if (says.empty()) continue;
    EXPECT_TRUE(Has(err_, says));
    EXPECT_EQ(std::ranges::count(err_, '\n'), 1) << err_;
    EXPECT_EQ(out_, "");
  }
  EXPECT_EQ(db_->Count("caratula", "F_2") + db_->Count("caratula", "H"), 2);
  EXPECT_FALSE(std::filesystem::exists(file("missing.db")));
  db_->Execute("alter table subitems drop column lapi");
  Run(CopyArgs({"--new", "B"}));
  EXPECT_TRUE(Has(err_, "subitems in " + db_->internosUrl() + " lacks the column lapi"));
}

TEST_P(ProgramTest, TwoProgramsCopyingToOneNumberMakeExactlyOneCopy) {
  // 384 items, one statement each: unguarded runs would overlap between the check and the copy.
  db_->MultiplyLicensedItems("A", 7);
  for (int round = 0; round < 20; ++round) {
    const std::string number = "R" + std::to_string(round);
    const pid_t a = StartCopy(number, "a.txt"), b = StartCopy(number, "b.txt");
    const int statusA = Wait(a), statusB = Wait(b);
    EXPECT_EQ(statusA + statusB, 1) << round << ReadFile(file("a.txt")) << ReadFile(file("b.txt"));
    EXPECT_EQ(db_->Count("caratula", number), 1);
    EXPECT_EQ(db_->Count("subitems", number), 384);
    EXPECT_EQ(db_->Count("facturas", number), 2);
  }
}

TEST_P(ProgramTest, ASignalMidRunWritesNothingAndTheSameCommandThenCopies) {
  db_->MultiplyLicensedItems("A", 12);  // 12,288 items
  for (const int signal : {SIGINT, SIGTERM}) {
    const pid_t pid = StartCopy("N", "err.txt", true);
    // The checks before a run take the write lock for a moment too: wait until it is held.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int held = 0; held < 5 && std::chrono::steady_clock::now() < deadline;) {
      held = RunInProgress() ? held + 1 : 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, signal);
    EXPECT_EQ(Wait(pid), 128 + signal);
    EXPECT_TRUE(Has(ReadFile(file("err.txt")), "Nothing was written: the run was interrupted by"));
    EXPECT_EQ(nlohmann::json::parse(ReadFile(file("out.txt")))["error"]["code"], "interrupted");
    EXPECT_EQ(db_->Count("subitems", "N") + db_->Count("caratula", "N"), 0);
  }
  ASSERT_EQ(Wait(StartCopy("N", "err.txt")), 0) << ReadFile(file("err.txt"));
  EXPECT_EQ(db_->Count("subitems", "N"), 12288);
  EXPECT_EQ(db_->Count("facturas", "N"), 2);
}

TEST_P(ProgramTest, AFaultOrASignalAtAnyStatementWritesNothingAndKeepPartialKeepsTheSteps) {
  int positions = 0, partials = 0;
  for (const auto& [option, copies] :
       {std::pair{"todos", "1"}, {"todos", "3"}, {"con-lapi", "1"}, {"sin-lapi", "1"}}) {
    const std::string tag = std::string(option).substr(0, 3) + copies, guarded = "G" + tag;
    for (std::size_t k = 1;; ++k, ++positions) {
      SCOPED_TRACE(tag + ", statement " + std::to_string(k));
      const std::string before = Snapshot();
      const careful::CopyResult failed = Session("A", {{option, guarded}}, copies, Faulty(k));
      if (failed.status == 0) break;  // past the last statement: the fault never fired
      EXPECT_EQ(failed.status, 1);
      EXPECT_EQ(Snapshot(), before);
      EXPECT_FALSE(Marked(guarded) || Marked(guarded + "_1"));
      const bool recording = Has(notes_, "history) cannot be saved");
      EXPECT_TRUE(Has(notes_, "Nothing was written: "));
      // The same fault unguarded: the component's own messages, and its steps kept.
      const std::string partial = "P" + tag + std::to_string(k);
      const careful::CopyResult kept = Session("A", {{option, partial}}, copies, Faulty(k), true);
      // Past the component's statements, the guarded run failed reading its internos back for
      // its record, which a run that keeps partial copies does not make.
      if (kept.status == 0 && recording) continue;
      EXPECT_EQ(kept.status, 1);
      partials += Rows("caratula", partial) + Rows("facturas", partial) > 0;
      // A server aborts the rest of a failed transaction, so later steps may report it too.
      const auto prompt = &careful::ConsolePlatform::Message::prompt;
      EXPECT_EQ(failed.messages.at(0).prompt, kept.messages.at(0).prompt);
      EXPECT_TRUE(GetParam()->name != "sqlite" ||
                  std::ranges::equal(failed.messages, kept.messages, {}, prompt, prompt));
      // An interruption just before the same statement: rolled back, 128 + SIGINT.
      const std::string beforeSignal = Snapshot();
      EXPECT_EQ(Session("A", {{option, "S"}}, copies, Faulty(k, SIGINT)).status, 128 + SIGINT);
      EXPECT_EQ(Snapshot(), beforeSignal);
      EXPECT_TRUE(Has(notes_, "interrupted by SIGINT"));
    }
    // The last position reached made the copy: guarded runs commit what succeeds.
    EXPECT_GT(Rows("subitems", guarded), 0) << tag;
    EXPECT_TRUE(Marked(copies[0] == '3' ? guarded + "_3" : guarded)) << tag;
  }
  EXPECT_GT(positions, 30);
  EXPECT_GT(partials, positions / 2);
  // Both licence-filtered copies in one transaction, interrupted in the second.
  EXPECT_EQ(Session("A", {{"con-lapi", "SC"}, {"sin-lapi", "SS"}}, "1", Faulty(12, SIGTERM)).status,
            128 + SIGTERM);
  EXPECT_EQ(db_->Count("caratula", "SC") + db_->Count("caratula", "SS"), 0);
}

// A kill at any step the program takes on the user's settings store or on the database (the file,
// or each message to the server) never leaves a mark without its cover sheet; once the program
// has run again every copy is whole and has its mark and its one entry in the history.
TEST_P(ProgramTest, AKillAtAnyStepLeavesMarksThatMatchTheCoverSheets) {
  if (std::system("strace -V > /dev/null 2>&1") != 0) GTEST_SKIP() << "strace is not installed";
  SettingsStore::ForCurrentUser().Save("oquardelino", "test", "store", "made");
  const int stride = KillStride();
  int kills = 0;
  for (const auto& target : KillTargets()) {
    for (int k = 1;; k += stride, ++kills) {
      const std::string number = "K" + std::to_string(kills);
      const std::vector<std::string> copy = CopyArgs({"--new", number, "--copies", "2"});
      const int status = Run(Killed(target, k, copy));
      if (status != 1000 + SIGKILL) {
        EXPECT_EQ(status, 0) << err_;  // past the last step: the kill never came
        break;
      }
      for (const std::string& copied : {number + "_1", number + "_2"}) {
        EXPECT_TRUE(!Marked(copied) || db_->Count("caratula", copied) == 1) << copied << " " << k;
      }
      const int again = Run(copy);
      EXPECT_TRUE(again == 0 || again == 1) << err_;
      for (const std::string& copied : {number + "_1", number + "_2"}) {
        SCOPED_TRACE(copied + ", killed at step " + std::to_string(k) + " of " + target[1]);
        EXPECT_TRUE(Marked(copied));
        EXPECT_EQ(SettingsStore::ForCurrentUser().History({}, copied).size(), 1u);
        EXPECT_EQ(std::tuple(db_->Count("caratula", copied), db_->Count("facturas", copied),
                             db_->Count("subitems", copied)),
                  std::tuple(1, 2, 3));
      }
    }
  }
  EXPECT_GT(kills * stride, 50);
}

// Preview reads read-only media; no command changes the journal mode of the user's files.
TEST_P(ProgramTest, ThePreviewReadsReadOnlyMediaAndTheFilesKeepTheirJournalMode) {
  if (GetParam()->name != "sqlite") GTEST_SKIP() << "a server's files are its own";
  ASSERT_EQ(Run(CopyArgs({"--new", "J", "--copies", "2"})), 0) << err_;
  Run(CopyArgs({"--new", "J", "--copies", "2"}));  // refused: taken
  const std::string folder = db_->folder().string();
  const int status =
      Run({"unshare", "-m", "sh", "-c", "mount --bind -o ro \"$0\" \"$0\" && exec \"$@\"", folder,
           OQ_PROGRAM, "preview", "--internos", db_->internosUrl(), "--ncm", db_->ncmUrl(),
           "--source", "A"});
  if (err_.find("mount") != std::string::npos || err_.find("unshare") != std::string::npos) {
    GTEST_SKIP() << "no read-only mount here: " << err_;
  }
  EXPECT_EQ(status, 0) << err_;
  EXPECT_TRUE(Has(out_, "kept by con LAPI:"));
  for (const char* name : {"internos.db", "ncm.db"}) {
    for (const char* companion : {"-wal", "-shm", "-journal"}) {
      EXPECT_FALSE(std::filesystem::exists(file(std::string(name) + companion))) << companion;
    }
    // Bytes 18 and 19 of the header: 1 for a rollback journal, 2 for WAL.
    EXPECT_EQ(ReadFile(file(name)).substr(18, 2), std::string("\x01\x01", 2)) << name;
  }
}

TEST_P(ProgramTest, ThePreviewMatchesTheCopiesAndTheSplitAndWritesNothing) {
  // Codes the database cuts by characters: a two-byte one at the cut, all two-byte, empty, long.
  const std::tuple<const char*, const char*, const char*, const char*> codes[] = {
      {"8471.30.1Ñ 100", "8471.30.1Ñ", "100", "*"},
      {"ÑÑÑÑÑÑÑÑÑÑ ÑÑÑ", "ÑÑÑÑÑÑÑÑÑÑ", "ÑÑÑ", ""},
      {"", "", "", nullptr},
      {"5555555555 555 more", "5555555555", "555", "*"}};
  for (const auto& [ncm, position, suffix, mark] : codes) {
    if (mark != nullptr) db_->InsertNcm(position, suffix, Variant::String(mark));
    RowValues item = TestDatabase::SampleSubitem(4);
    item["ncm"] = Variant::String(ncm);
    db_->Insert("subitems", "GEN", item);
  }
  std::vector<std::string> sources = {"GEN"};
  for (const auto& interno : demo::DemoInternos()) sources.emplace_back(interno.numero);
  int compared = 0;
  for (const std::string& source : sources) {
    const careful::Preview preview = PreviewOf(source);
    for (const bool con : {true, false}) {
      const std::string number = source + (con ? "-C" : "-S");
      if (!Session(source, {{con ? "con-lapi" : "sin-lapi", number}}).outcome->kept) continue;
      // (ncm, FOB) of each item the preview keeps, and of each the copy wrote.
      std::vector<std::string> kept, written;
      for (const careful::PreviewItem& item : preview.items) {
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
  const careful::Preview mixed = PreviewOf("2024-0101");
  // The demo's mixed interno: 10 items marked, 8 unmarked, 7 under a Null mark or an unknown code.
  EXPECT_EQ(std::tie(mixed.con.items, mixed.sin.items, mixed.neither.items), std::tuple(10, 8, 7));
  std::vector<std::string> marks;
  for (const auto& item : PreviewOf("GEN").items) {
    marks.push_back(item.position + "|" + item.suffix + "|" + item.mark);
  }
  EXPECT_EQ(marks,
            (std::vector<std::string>{"1111111111|001|several rows", "2222222222|001|other: X",
                                      "||not found", "short||not found", "8471.30.1Ñ|100|*",
                                      "ÑÑÑÑÑÑÑÑÑÑ|ÑÑÑ|empty", "||not found", "5555555555|555|*"}));
  EXPECT_EQ(Run({OQ_PROGRAM, "preview", "--internos", db_->internosUrl(), "--ncm", db_->ncmUrl(),
                 "--source", "GEN", "--json"}),
            0)
      << err_;
  EXPECT_EQ(nlohmann::json::parse(out_)["items"][4]["position"], "8471.30.1Ñ");
  // A split makes both copies, matching the preview, or neither when the second number is taken.
  const careful::CopyResult made = Session("2024-0101", {{"con-lapi", "C"}, {"sin-lapi", "S"}});
  EXPECT_EQ(made.status, 0);
  ASSERT_EQ(made.created.size(), 2u);
  EXPECT_EQ(made.created[0].items, mixed.con.items);
  EXPECT_NEAR(made.created[0].fob, mixed.con.fob, 0.005);
  EXPECT_NEAR(made.created[1].fob, mixed.sin.fob, 0.005);
  EXPECT_NEAR(made.created[0].fob + made.created[1].fob + mixed.neither.fob, *mixed.sourceFob,
              0.005);
  EXPECT_EQ(Session("2024-0101", {{"con-lapi", "C2"}, {"sin-lapi", "S"}}).status, 1);
  EXPECT_EQ(db_->Count("caratula", "C2") + db_->Count("subitems", "C2"), 0);
  if (GetParam()->name == "sqlite") {
    db_->Execute("update caratula set fobdivisas = 'about 12' where interno = 'GEN'");
    EXPECT_EQ(careful::SourceFobShown(PreviewOf("GEN")), "'about 12' (not a number)");
    // The preview reads the NCM file under one lock, let go once it is built.
    sqlite::OpenOptions noWait;
    noWait.busyTimeout = std::chrono::milliseconds(0);
    const auto writer = sqlite::SqliteConnection::Open(
        db_->ncmUrl().substr(std::string("sqlite:").size()), noWait);
    writer->put_sql("update ncm set [059] = [059]");
    EXPECT_NO_THROW(writer->ejecutar());
  }
  for (const std::string& url : {db_->internosUrl(), db_->ncmUrl()}) {
    auto readOnly = careful::OpenConnectionReadOnly(url);
    readOnly->put_sql("insert into ncm ([001], [002], [059]) values ('9', '9', '*')");
    EXPECT_THROW(readOnly->ejecutar(), Failure) << url;
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, ProgramTest, testing::ValuesIn(AvailableBackends()),
                         BackendParamName);

}  // namespace
}  // namespace oq::test
