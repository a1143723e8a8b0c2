#include "targets.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "scenarios.h"

namespace oq::bench {

namespace {

constexpr double kFullRatio = 1.1;
constexpr double kFilteredRatio = 1.15;
constexpr double kKeptPerSecond = 15000;
constexpr double kKeptPerSecondSqliteTransaction = 40000;
constexpr double kKeptPerSecondPostgres = 15000;
// On PostgreSQL behind a network of kNetworkDelayMs each way, in one transaction.
constexpr double kNetworkDelayMs = 0.25;
constexpr double kNetworkSlowdown = 2;
constexpr double kRoundTripsPerItem = 0.3;
constexpr double kLinearFactor = 12;
constexpr double kBytesPerItem = 2048;

std::string Format(const char* pattern, double a, double b = 0) {
  char text[160];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

// One engine in one mode, and the kept items per second its filtered copies must reach (0: no
// such target).
struct Setup {
  std::string engine;
  std::string mode;
  double keptPerSecond;
  // Prefixes the target's words, but for SQLite in autocommit, the first setup measured.
  std::string Named(const std::string& target) const {
    return engine == "sqlite" && mode == "autocommit" ? target
                                                      : engine + ", " + mode + ": " + target;
  }
};

const Timing* Find(const Report& report, const Setup& setup, const std::string& scenario,
                   const char* impl, int n) {
  return report.Find({scenario, impl, n, 0, {}, setup.engine, setup.mode}, impl);
}

TargetCheck FullCopyCheck(const Report& report, const Setup& setup) {
  TargetCheck check{setup.Named(Format("full copy <= %.1f x floor at every N", kFullRatio)), "",
                    false, true};
  double worst = 0;
  double worstCpu = 0;
  std::string where;
  for (const Timing& t : report.timings) {
    if ((t.scenario != kFullOne && t.scenario != kFullNine) ||
        t.implementation != std::string(kRun) || t.engine != setup.engine || t.mode != setup.mode)
      continue;
    const Timing* floor = report.Find(t, kFloor);
    if (floor == nullptr || floor->Median() <= 0) continue;
    const double ratio = t.Median() / floor->Median();
    check.measured = true;
    check.met = check.met && ratio <= kFullRatio;
    if (ratio > worst) {
      worst = ratio;
      worstCpu = t.CpuMedian() / floor->CpuMedian();
      where = t.scenario + " at N=" + std::to_string(t.n);
    }
  }
  check.figure = Format("worst %.2f x", worst) + " (" + where +
                 Format("; CPU-time ratio there %.2f x)", worstCpu);
  return check;
}

void FilteredChecks(const Report& report, const Setup& setup, const char* scenario,
                    std::vector<TargetCheck>& out) {
  const std::string name = scenario;
  const Timing* run10k = Find(report, setup, name, kRun, 10000);
  const Timing* floor10k = Find(report, setup, name, kFloor, 10000);
  const Timing* prepared10k = Find(report, setup, name, kPrepared, 10000);
  const Timing* run100k = Find(report, setup, name, kRun, 100000);

  TargetCheck ratio{setup.Named(name + ": run <= 1.15 x replayed floor at 10,000"), "not measured",
                    false, false};
  if (run10k && floor10k) {
    const double r = run10k->Median() / floor10k->Median();
    const double cpu = run10k->CpuMedian() / floor10k->CpuMedian();
    ratio = {ratio.target, Format("%.2f x (CPU-time ratio %.2f x)", r, cpu), true,
             r <= kFilteredRatio};
  }
  out.push_back(ratio);

  if (setup.keptPerSecond > 0) {
    TargetCheck speed{
        setup.Named(name + Format(": >= %.0f kept items/s at 10,000", setup.keptPerSecond)),
        "not measured", false, false};
    if (run10k) {
      speed = {speed.target,
               Format("%.0f /s", run10k->ItemsPerSecond()) +
                   Format(" (floor %.0f /s)", floor10k ? floor10k->ItemsPerSecond() : 0) +
                   (prepared10k ? Format(" (prepared floor %.0f /s)", prepared10k->ItemsPerSecond())
                                : "") +
                   (run100k ? Format(" (%.0f /s at 100,000)", run100k->ItemsPerSecond()) : ""),
               true, run10k->ItemsPerSecond() >= setup.keptPerSecond};
    }
    out.push_back(speed);
  }

  TargetCheck linear{setup.Named(name + ": time at 100,000 <= 12 x time at 10,000"), "not measured",
                     false, false};
  if (run10k && run100k) {
    const double factor = run100k->Median() / run10k->Median();
    linear = {linear.target, Format("%.2f x", factor), true, factor <= kLinearFactor};
  }
  out.push_back(linear);
}

TargetCheck MemoryCheck(const Report& report) {
  TargetCheck check{"peak resident set grows <= ~2 KB per source item", "not measured", false,
                    false};
  if (report.memory.size() < 2) return check;
  const MemoryFigure& small = report.memory[report.memory.size() - 2];
  const MemoryFigure& large = report.memory.back();
  const double slope =
      (large.PeakKb() - small.PeakKb()) * 1024.0 / static_cast<double>(large.n - small.n);
  check.figure =
      Format("%.0f bytes/item between N=%.0f", slope, small.n) +
      " and N=" + std::to_string(large.n) +
      Format(" (%.0f bytes/item over the baseline at the largest N)", large.BytesPerItem());
  check.measured = true;
  check.met = slope <= kBytesPerItem && large.BytesPerItem() <= kBytesPerItem * 1.1;
  return check;
}

// The filtered copies of 10,000 items behind the network against the socket.
void NetworkChecks(const Report& report, std::vector<TargetCheck>& out) {
  for (const char* scenario : {kConLapi, kSinLapi}) {
    const NetworkFigure* socket = nullptr;
    const NetworkFigure* far = nullptr;
    for (const NetworkFigure& f : report.network) {
      if (f.scenario != scenario || f.n != 10000 || !f.savings) continue;
      if (f.delayMs == 0) socket = &f;
      if (f.delayMs == kNetworkDelayMs) far = &f;
    }
    const std::string where =
        std::string("postgresql, ") + Format("%.2f ms each way: ", kNetworkDelayMs) + scenario;
    TargetCheck time{where + Format(": time <= %.0f x the socket's at 10,000", kNetworkSlowdown),
                     "not measured", false, false};
    TargetCheck trips{
        where + Format(": <= %.1f round trips per kept item at 10,000", kRoundTripsPerItem),
        "not measured", false, false};
    if (socket != nullptr && far != nullptr) {
      const double slowdown = far->Median() / socket->Median();
      time = {time.target,
              Format("%.2f x (%.0f ms", slowdown, far->Median() * 1e3) +
                  Format(" against %.0f ms)", socket->Median() * 1e3),
              true, slowdown <= kNetworkSlowdown};
    }
    if (far != nullptr) {
      trips = {trips.target,
               Format("%.3f (%.0f round trips", far->RoundTripsPerItem(),
                      static_cast<double>(far->roundTrips)) +
                   Format(" for %.0f kept items)", static_cast<double>(far->items)),
               true, far->RoundTripsPerItem() <= kRoundTripsPerItem};
    }
    out.push_back(time);
    out.push_back(trips);
  }
}

}  // namespace

std::vector<TargetCheck> CheckTargets(const Report& report) {
  const Setup setups[] = {{"sqlite", "autocommit", kKeptPerSecond},
                          {"sqlite", "transaction", kKeptPerSecondSqliteTransaction},
                          {"postgresql", "autocommit", 0},
                          {"postgresql", "transaction", kKeptPerSecondPostgres}};
  std::vector<TargetCheck> checks;
  for (const Setup& setup : setups) {
    // Only the first setup is always reported: the others are optional parts of a run.
    const bool measured = std::any_of(
        report.timings.begin(), report.timings.end(),
        [&setup](const Timing& t) { return t.engine == setup.engine && t.mode == setup.mode; });
    if (!measured && &setup != &setups[0]) continue;
    checks.push_back(FullCopyCheck(report, setup));
    FilteredChecks(report, setup, kConLapi, checks);
    FilteredChecks(report, setup, kSinLapi, checks);
  }
  if (!report.network.empty()) NetworkChecks(report, checks);
  checks.push_back(MemoryCheck(report));
  return checks;
}

void PrintTargets(std::ostream& out, const std::vector<TargetCheck>& checks) {
  out << "\nTargets:\n";
  for (const TargetCheck& c : checks) {
    out << "  ["
        << (!c.measured ? "----"
            : c.met     ? " met"
                        : "MISS")
        << "] " << c.target << ": " << c.figure << "\n";
  }
}

void WriteTargetsCsv(const std::filesystem::path& folder, const std::vector<TargetCheck>& checks) {
  std::ofstream out(folder / "targets.csv");
  out << "target,figure,status\n";
  for (const TargetCheck& c : checks) {
    out << '"' << c.target << "\",\"" << c.figure << "\","
        << (!c.measured ? "not measured"
            : c.met     ? "met"
                        : "missed")
        << '\n';
  }
}

}  // namespace oq::bench
