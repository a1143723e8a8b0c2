#include "scenarios.h"

#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>

#include "bench_db.h"
#include "floors.h"
#include "run_harness.h"
#include "timing.h"

namespace oq::bench {

namespace {

constexpr const char* kNewNumber = "COPIA-0001";

// Runs one option on a fresh copy and gives back what it sent.
StatementLog RecordRun(BenchTarget& target, Mode mode, int n, CopyOption option, int copies) {
  target.Reset(n);
  StatementLog log;
  RunHarness harness(target.Open(), mode, &log);
  harness.Run(option, kNewNumber, copies);
  return log;
}

void Expect(bool condition, const std::string& what) {
  if (!condition) throw std::runtime_error(what);
}

bool SameItems(const CopiedItems& a, const CopiedItems& b) {
  return a.count == b.count && std::fabs(a.fob - b.fob) <= 0.005 + 1e-9 * std::fabs(a.fob);
}

std::string Describe(const CopiedItems& items) {
  return std::to_string(items.count) + " items, FOB " + std::to_string(items.fob);
}

// The set-based copy and the rewrite are SQLite's alone, and measured once, in autocommit.
SqliteTarget* Baseline(BenchTarget& target, Mode mode) {
  return mode == Mode::kAutocommit ? dynamic_cast<SqliteTarget*>(&target) : nullptr;
}

std::vector<Timing> Labelled(std::vector<Timing> timings, const BenchTarget& target, Mode mode) {
  for (Timing& t : timings) {
    t.engine = target.engine();
    t.mode = NameOf(mode);
  }
  return timings;
}

}  // namespace

std::vector<Timing> MeasureFullCopy(BenchTarget& target, Mode mode, int n, int copies,
                                    int repetitions) {
  const StatementLog sent = RecordRun(target, mode, n, CopyOption::kTodos, copies);
  const StatementLog floorLog = WritesOnly(target.AsReceived(sent));
  Expect(floorLog.size() == 3u * static_cast<unsigned>(copies),
         "the full copy sent " + std::to_string(floorLog.size()) + " writing statements");
  const std::string lastCopy =
      copies > 1 ? std::string(kNewNumber) + "_" + std::to_string(copies) : kNewNumber;
  auto checked = [&](Sample seconds) {
    Expect(target.ItemsOf(lastCopy).count == n, "a full copy lost items");
    return seconds;
  };
  checked({});

  auto run = [&] {
    target.Reset(n);
    RunHarness harness(target.Open(), mode);
    return checked(harness.Run(CopyOption::kTodos, kNewNumber, copies));
  };
  auto floor = [&] {
    target.Reset(n);
    return checked(target.Replay(floorLog, mode));
  };
  std::vector<std::function<Sample()>> contenders{run, floor};
  if (Baseline(target, mode)) contenders.push_back([&] { return RewriteTime(sent); });
  const auto samples = Interleave(repetitions, contenders);
  const char* scenario = copies > 1 ? kFullNine : kFullOne;
  const std::int64_t items = static_cast<std::int64_t>(n) * copies;
  std::vector<Timing> timings{{scenario, kRun, n, items, samples[0]},
                              {scenario, kFloor, n, items, samples[1]}};
  if (samples.size() > 2) timings.push_back({scenario, kRewrite, n, items, samples[2]});
  return Labelled(std::move(timings), target, mode);
}

std::vector<Timing> MeasureFilteredCopy(BenchTarget& target, Mode mode, int n, bool withLicence,
                                        int repetitions) {
  const CopyOption option = withLicence ? CopyOption::kConLAPI : CopyOption::kSinLAPI;
  const StatementLog sent = RecordRun(target, mode, n, option, 1);
  const StatementLog log = target.AsReceived(sent);
  const CopiedItems kept = target.ItemsOf(kNewNumber);

  // Every repetition checks, after its timed part, that it kept what the recorded run kept.
  auto checked = [&](const char* who, Sample seconds) {
    const CopiedItems items = target.ItemsOf(kNewNumber);
    Expect(SameItems(kept, items), std::string("the filtered copies disagree: run ") +
                                       Describe(kept) + ", " + who + " " + Describe(items));
    return seconds;
  };
  auto run = [&] {
    target.Reset(n);
    RunHarness harness(target.Open(), mode);
    return checked("run", harness.Run(option, kNewNumber, 1));
  };
  auto floor = [&] {
    target.Reset(n);
    return checked("replay", target.Replay(log, mode));
  };
  auto prepared = [&] {
    target.Reset(n);
    return checked("prepared replay", target.ReplayPrepared(log, mode));
  };
  std::vector<std::function<Sample()>> contenders{run, floor};
  // The prepared floor is the bound of the runs that spare round trips, which only the run
  // guard's transaction does.
  if (mode == Mode::kTransaction) contenders.push_back(prepared);
  if (SqliteTarget* sqlite = Baseline(target, mode)) {
    contenders.push_back([&, sqlite] {
      target.Reset(n);
      return checked("set-based", HandWrittenFilteredCopy(sqlite->paths(), sqlite->settings(),
                                                          withLicence, kNewNumber));
    });
    contenders.push_back([&] { return RewriteTime(sent); });
  }
  const auto samples = Interleave(repetitions, contenders);
  const char* scenario = withLicence ? kConLapi : kSinLapi;
  std::vector<Timing> timings{{scenario, kRun, n, kept.count, samples[0]},
                              {scenario, kFloor, n, kept.count, samples[1]}};
  if (mode == Mode::kTransaction) {
    timings.push_back({scenario, kPrepared, n, kept.count, samples[2]});
  } else if (samples.size() > 2) {
    timings.push_back({scenario, kSetBased, n, kept.count, samples[2]});
    timings.push_back({scenario, kRewrite, n, kept.count, samples[3]});
  }
  return Labelled(std::move(timings), target, mode);
}

}  // namespace oq::bench
