#include "scenarios.h"

#include <cmath>
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
StatementLog RecordRun(const Workspace& space, int n, CopyOption option, int copies,
                       const SqliteSettings& settings, const DatabasePaths& paths) {
  FreshCopy(space.Internos(n), paths.internos);
  StatementLog log;
  RunHarness harness(paths, settings, &log);
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

}  // namespace

std::vector<Timing> MeasureFullCopy(const Workspace& space, int n, int copies, int repetitions,
                                    const SqliteSettings& settings) {
  const DatabasePaths paths{space.Scratch("full"), space.Ncm()};
  const StatementLog sent = RecordRun(space, n, CopyOption::kTodos, copies, settings, paths);
  const StatementLog floorLog = WritesOnly(AsSqliteReceivesThem(sent));
  Expect(floorLog.size() == 3u * static_cast<unsigned>(copies),
         "the full copy sent " + std::to_string(floorLog.size()) + " writing statements");
  const std::string lastCopy =
      copies > 1 ? std::string(kNewNumber) + "_" + std::to_string(copies) : kNewNumber;
  auto checked = [&](Sample seconds) {
    Expect(ItemsOf(paths.internos, lastCopy).count == n, "a full copy lost items");
    return seconds;
  };
  checked({});

  auto run = [&] {
    FreshCopy(space.Internos(n), paths.internos);
    RunHarness harness(paths, settings);
    return checked(harness.Run(CopyOption::kTodos, kNewNumber, copies));
  };
  auto floor = [&] {
    FreshCopy(space.Internos(n), paths.internos);
    return checked(Replay(paths, settings, floorLog));
  };
  auto rewrite = [&] { return RewriteTime(sent); };
  const auto samples = Interleave(repetitions, {run, floor, rewrite});
  const char* scenario = copies > 1 ? kFullNine : kFullOne;
  const std::int64_t items = static_cast<std::int64_t>(n) * copies;
  return {{scenario, kRun, n, items, samples[0]},
          {scenario, kFloor, n, items, samples[1]},
          {scenario, kRewrite, n, items, samples[2]}};
}

std::vector<Timing> MeasureFilteredCopy(const Workspace& space, int n, bool withLicence,
                                        int repetitions, const SqliteSettings& settings) {
  const DatabasePaths paths{space.Scratch("filtered"), space.Ncm()};
  const CopyOption option = withLicence ? CopyOption::kConLAPI : CopyOption::kSinLAPI;
  const StatementLog sent = RecordRun(space, n, option, 1, settings, paths);
  const StatementLog log = AsSqliteReceivesThem(sent);
  const CopiedItems kept = ItemsOf(paths.internos, kNewNumber);

  // Every repetition checks, after its timed part, that it kept what the recorded run kept.
  auto checked = [&](const char* who, Sample seconds) {
    const CopiedItems items = ItemsOf(paths.internos, kNewNumber);
    Expect(SameItems(kept, items), std::string("the filtered copies disagree: run ") +
                                       Describe(kept) + ", " + who + " " + Describe(items));
    return seconds;
  };
  auto run = [&] {
    FreshCopy(space.Internos(n), paths.internos);
    RunHarness harness(paths, settings);
    return checked("run", harness.Run(option, kNewNumber, 1));
  };
  auto floor = [&] {
    FreshCopy(space.Internos(n), paths.internos);
    return checked("replay", Replay(paths, settings, log));
  };
  auto setBased = [&] {
    FreshCopy(space.Internos(n), paths.internos);
    return checked("set-based", HandWrittenFilteredCopy(paths, settings, withLicence, kNewNumber));
  };
  auto rewrite = [&] { return RewriteTime(sent); };
  const auto samples = Interleave(repetitions, {run, floor, setBased, rewrite});
  const char* scenario = withLicence ? kConLapi : kSinLapi;
  return {{scenario, kRun, n, kept.count, samples[0]},
          {scenario, kFloor, n, kept.count, samples[1]},
          {scenario, kSetBased, n, kept.count, samples[2]},
          {scenario, kRewrite, n, kept.count, samples[3]}};
}

}  // namespace oq::bench
