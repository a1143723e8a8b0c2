// Tests of the benchmark's own machinery: the median, the builder's mix of marks, the agreement
// of the run, its replay and the set-based copy on a real database, and the target checks.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "bench_db.h"
#include "memory.h"
#ifdef OQ_HAVE_POSTGRES
#include <pqxx/pqxx>

#include "postgres_target.h"
#include "relay.h"
#endif
#include "raw_sqlite.h"
#include "scenarios.h"
#include "targets.h"
#include "timing.h"
#include "workspace.h"

namespace oq::bench {
namespace {

TEST(MedianTest, OddEvenAndEmpty) {
  struct Case {
    std::vector<double> samples;
    double median;
  };
  const Case cases[] = {{{}, 0}, {{3}, 3}, {{5, 1, 3}, 3}, {{4, 1, 3, 2}, 2.5}, {{9, 1, 1}, 1}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(Median(c.samples), c.median);
}

class BenchDatabaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "oq-bench-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

TEST_F(BenchDatabaseTest, TemplatesHoldTheSourceAndTheMixOfMarks) {
  const Workspace space(folder_);
  space.BuildTemplates({2000});
  RawDb db(space.Internos(2000), SqliteSettings{"", ""});
  EXPECT_EQ(db.ScalarInt("select count(*) from caratula"), 1);
  EXPECT_EQ(db.ScalarInt("select count(*) from facturas"), 3);
  EXPECT_EQ(db.ScalarInt(std::string("select count(*) from subitems where interno = '") +
                         kSourceInterno + "'"),
            2000);
  db.Exec("attach database '" + space.Ncm().string() + "' as n");
  EXPECT_EQ(db.ScalarInt("select count(*) from n.ncm"), kNcmRows);
  EXPECT_EQ(db.ScalarInt("select count(*) from (select 1 from n.ncm group by [001], [002])"),
            kNcmRows);
  auto share = [&db](const std::string& mark) {
    return db.ScalarInt(
               "select count(*) from subitems s join n.ncm c on c.[001] = "
               "substr(s.ncm, 1, 10) and c.[002] = substr(s.ncm, 12, 3) and " +
               mark) /
           20.0;
  };
  EXPECT_NEAR(share("c.[059] = '*'"), kMarkedPercent * 0.95, 4);
  EXPECT_NEAR(share("c.[059] = ''"), kUnmarkedPercent * 0.95, 4);
  EXPECT_NEAR(share("c.[059] is null"), kNullMarkPercent * 0.95, 2);
  EXPECT_NEAR(share("1"), 100 - kMissingPercent, 2);
}

TEST_F(BenchDatabaseTest, RunReplayAndSetBasedCopyKeepTheSameItems) {
  const Workspace space(folder_);
  space.BuildTemplates({300});
  SqliteTarget target(space, "copy", SqliteSettings{});
  // MeasureFilteredCopy refuses to time copies that disagree; here it must accept them.
  for (bool withLicence : {true, false}) {
    const std::vector<Timing> timings =
        MeasureFilteredCopy(target, Mode::kAutocommit, 300, withLicence, 1);
    ASSERT_EQ(timings.size(), 4u);
    EXPECT_GT(timings[0].items, 60);
    EXPECT_LT(timings[0].items, 240);
    for (const Timing& t : timings) EXPECT_GT(t.Median(), 0) << t.implementation;
  }
  const std::vector<Timing> full = MeasureFullCopy(target, Mode::kAutocommit, 300, 3, 1);
  ASSERT_EQ(full.size(), 3u);
  EXPECT_EQ(full[0].items, 900);
}

// A run through the program's guard, and its floor in one transaction, must leave what the
// autocommit run leaves (the measurements check every repetition against the recorded run): a run
// rolled back or a replay never committed would stop them.
TEST_F(BenchDatabaseTest, OneTransactionKeepsWhatAutocommitKeepsOnEveryEngine) {
  const Workspace space(folder_);
  space.BuildTemplates({300});
  std::vector<std::unique_ptr<BenchTarget>> targets;
  targets.push_back(std::make_unique<SqliteTarget>(space, "copy", SqliteSettings{}));
  std::string why = "built without its connector";
#ifdef OQ_HAVE_POSTGRES
  if (PostgresTarget::Reachable(why)) targets.push_back(std::make_unique<PostgresTarget>(space));
#endif
  for (const auto& target : targets) {
    for (bool withLicence : {true, false}) {
      std::int64_t kept[2] = {};
      for (Mode mode : {Mode::kAutocommit, Mode::kTransaction}) {
        const std::vector<Timing> timings = MeasureFilteredCopy(*target, mode, 300, withLicence, 1);
        EXPECT_EQ(timings[1].mode, NameOf(mode));
        EXPECT_EQ(timings[1].engine, target->engine());
        // In one transaction the prepared floor is timed too, and keeps the same items (each
        // repetition checks that).
        const bool prepared = std::any_of(timings.begin(), timings.end(), [](const Timing& t) {
          return t.implementation == kPrepared;
        });
        EXPECT_EQ(prepared, mode == Mode::kTransaction);
        kept[static_cast<int>(mode)] = timings[1].items;
      }
      EXPECT_GT(kept[0], 60) << target->engine();
      EXPECT_EQ(kept[0], kept[1]) << target->engine() << " with licence " << withLicence;
    }
    EXPECT_EQ(MeasureFullCopy(*target, Mode::kTransaction, 300, 3, 1).at(1).items, 900);
  }
  if (targets.size() == 1) std::cout << "PostgreSQL not checked: " << why << "\n";
}

TEST_F(BenchDatabaseTest, RawDbReportsTheDatabasesRefusal) {
  RawDb db(folder_ / "refusal.db", SqliteSettings{});
  db.ExecScript("create table t (a text not null)");
  EXPECT_EQ(db.Exec("insert into t values ('x')"), 1);
  try {
    db.Exec("insert into t values (null)");
    FAIL() << "a NULL in a NOT NULL column went through";
  } catch (const std::runtime_error& refusal) {
    EXPECT_NE(std::string(refusal.what()).find("NOT NULL"), std::string::npos) << refusal.what();
  }
  EXPECT_EQ(db.ScalarInt("select count(*) from t"), 1);
}

TEST_F(BenchDatabaseTest, MemoryChildReportsPeaksAboveItsBaseline) {
  const Workspace space(folder_);
  space.BuildTemplates({500});
  testing::internal::CaptureStdout();
  MemoryChild(folder_, 500, SqliteSettings{});
  std::istringstream line(testing::internal::GetCapturedStdout());
  std::string tag;
  MemoryFigure m;
  line >> tag >> m.n >> m.baselineKb >> m.peakFullKb >> m.peakConKb >> m.peakSinKb;
  ASSERT_TRUE(line) << line.str();
  EXPECT_EQ(tag, "memory");
  EXPECT_EQ(m.n, 500);
  EXPECT_GT(m.baselineKb, 0);
  // The filtered copies hold their items in memory; the full copy moves none through it.
  EXPECT_GE(m.peakConKb, m.baselineKb);
  EXPECT_GE(m.peakSinKb, m.baselineKb);
}

TEST_F(BenchDatabaseTest, MeasureMemoryReadsTheChildsLineAndRefusesAFailedChild) {
  const std::filesystem::path fake = folder_ / "fake-child.sh";
  std::ofstream(fake) << "#!/bin/sh\necho building...\necho memory 700 5000 6000 7400 7500\n";
  std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
  const MemoryFigure m = MeasureMemory(fake, folder_, 700, SqliteSettings{});
  EXPECT_EQ(m.peakSinKb, 7500);
  EXPECT_NEAR(m.BytesPerItem(), (7500 - 5000) * 1024.0 / 700, 1e-9);
  EXPECT_THROW(MeasureMemory(fake, folder_, 800, SqliteSettings{}), std::runtime_error);

  const std::filesystem::path failing = folder_ / "failing-child.sh";
  std::ofstream(failing) << "#!/bin/sh\necho memory 700 1 1 1 1\nexit 3\n";
  std::filesystem::permissions(failing, std::filesystem::perms::owner_all);
  EXPECT_THROW(MeasureMemory(failing, folder_, 700, SqliteSettings{}), std::runtime_error);
}

TEST_F(BenchDatabaseTest, CsvCarriesRatiosToTheFloor) {
  Report report;
  report.timings.push_back(
      {"con LAPI", kRun, 1000, 400, {{0.30, 0.20}, {0.10, 0.10}, {0.12, 0.11}}});
  report.timings.push_back({"con LAPI", kFloor, 1000, 400, {{0.10, 0.10}}});
  WriteCsv(folder_, report);
  std::ifstream csv(folder_ / "timings.csv");
  std::string header;
  std::string run;
  std::getline(csv, header);
  std::getline(csv, run);
  EXPECT_EQ(run,
            "con LAPI,run,1000,3,400,0.120000,0.100000,0.300000,3333.3,1.2000,0.110000,1.1000,"
            "sqlite,autocommit");
}

Report WithRatios(double fullRatio, double filteredRatio, double keptPerSecond, double growth,
                  long bytesPerItem, double slowdown = 0, double roundTripsPerItem = 0) {
  Report report;
  // Behind 0.25 ms each way against the socket, when asked for.
  for (const char* scenario : {kConLapi, kSinLapi}) {
    for (const double delay : {0.0, 0.25}) {
      const double seconds = delay > 0 ? slowdown : 1.0;
      if (slowdown > 0) {
        report.network.push_back({scenario,
                                  10000,
                                  delay,
                                  true,
                                  1000,
                                  static_cast<long>(roundTripsPerItem * 1000),
                                  {{seconds, 0}}});
      }
    }
  }
  auto add = [&report](const char* scenario, const char* impl, int n, std::int64_t items,
                       double seconds) {
    report.timings.push_back({scenario, impl, n, items, {{seconds, seconds}}});
  };
  for (int n : {10000, 100000}) {
    add(kFullOne, kRun, n, n, fullRatio);
    add(kFullOne, kFloor, n, n, 1.0);
    const double run = n == 10000 ? 10000 / keptPerSecond : growth * 10000 / keptPerSecond;
    for (const char* scenario : {kConLapi, kSinLapi}) {
      add(scenario, kRun, n, n == 10000 ? 10000 : 100000, run);
      add(scenario, kFloor, n, n == 10000 ? 10000 : 100000, run / filteredRatio);
    }
  }
  report.memory.push_back({10000, 5000, 5000 + 10000 * bytesPerItem / 1024, 6000, 6000});
  report.memory.push_back({100000, 5000, 5000 + 100000 * bytesPerItem / 1024, 6000, 6000});
  return report;
}

TEST(TargetsTest, EachTargetMetJustInsideAndMissedJustOutside) {
  // Order of the checks: full, then per variant ratio, speed, linearity, then the network's,
  // then memory.
  const std::vector<TargetCheck> inside =
      CheckTargets(WithRatios(1.09, 1.14, 15100, 11.9, 2000, 1.99, 0.29));
  ASSERT_EQ(inside.size(), 12u);
  for (const TargetCheck& c : inside) EXPECT_TRUE(c.measured && c.met) << c.target << c.figure;

  const std::vector<TargetCheck> outside =
      CheckTargets(WithRatios(1.11, 1.16, 14900, 12.1, 2300, 2.01, 0.31));
  for (const TargetCheck& c : outside) EXPECT_TRUE(c.measured && !c.met) << c.target << c.figure;
}

TEST(TargetsTest, EachSetupIsCheckedAgainstItsOwnSpeedOnlyWhenMeasured) {
  struct Case {
    const char* engine;
    const char* mode;
    double keptPerSecond;
    std::size_t checks;  // SQLite in autocommit, memory, and this setup's
    int speedChecks;     // of this setup
    bool met;
  };
  const Case cases[] = {{"sqlite", "transaction", 40100, 15, 2, true},
                        {"sqlite", "transaction", 39900, 15, 2, false},
                        {"postgresql", "transaction", 15100, 15, 2, true},
                        {"postgresql", "transaction", 14900, 15, 2, false},
                        {"postgresql", "autocommit", 100, 13, 0, true}};
  for (const Case& c : cases) {
    Report report;
    for (const char* scenario : {kConLapi, kSinLapi}) {
      for (const char* impl : {kRun, kFloor}) {
        report.timings.push_back(
            {scenario, impl, 10000, 10000, {{10000 / c.keptPerSecond, 1}}, c.engine, c.mode});
      }
    }
    const std::vector<TargetCheck> checks = CheckTargets(report);
    ASSERT_EQ(checks.size(), c.checks) << c.engine << " " << c.mode;
    int speeds = 0;
    for (const TargetCheck& check : checks) {
      if (check.target.find(std::string(c.engine) + ", " + c.mode) != 0 ||
          check.target.find("kept items/s") == std::string::npos) {
        continue;
      }
      ++speeds;
      EXPECT_TRUE(check.measured);
      EXPECT_EQ(check.met, c.met) << check.target << ": " << check.figure;
    }
    EXPECT_EQ(speeds, c.speedChecks) << c.engine << " " << c.mode;
  }
}

#ifdef OQ_HAVE_POSTGRES
// Through the relay a query waits for the delay both ways, and each query answered before the
// next one is sent is one round trip.
TEST(RelayTest, DelaysEachWayAndCountsRoundTrips) {
  std::string why;
  if (!PostgresTarget::Reachable(why)) GTEST_SKIP() << "no PostgreSQL server: " << why;
  DelayRelay relay(DelayRelay::ServerSocket(), std::chrono::milliseconds(5));
  pqxx::connection connection("host=127.0.0.1 port=" + std::to_string(relay.port()));
  const long before = relay.roundTrips();
  const Stopwatch clock;
  pqxx::nontransaction work(connection);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(work.exec("select 1")[0][0].as<int>(), 1);
  EXPECT_GE(clock.Seconds(), 3 * 0.010);
  EXPECT_EQ(relay.roundTrips() - before, 3);
}
#endif

TEST(TargetsTest, SizesNotMeasuredAreSaidSo) {
  Report report;
  report.timings.push_back({kConLapi, kRun, 1000, 500, {{0.1, 0.1}}});
  const std::vector<TargetCheck> checks = CheckTargets(report);
  for (const TargetCheck& c : checks) EXPECT_FALSE(c.measured) << c.target;
}

}  // namespace
}  // namespace oq::bench
