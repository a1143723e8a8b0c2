#include "network.h"

#include <chrono>
#include <stdexcept>

#include "connectors/common/round_trips.h"
#include "relay.h"
#include "run_harness.h"
#include "scenarios.h"

namespace oq::bench {

namespace {

constexpr const char* kNewNumber = "COPIA-0001";

// One run through the program's run guard, timed; the savings on or off.
Sample RunOnce(PostgresTarget& target, int n, CopyOption option, bool savings) {
  target.Reset(n);
  RunConnections connections = target.Open();
  connections.fewerRoundTrips = savings;
  for (const auto& connection : {connections.internos, connections.ncm}) {
    dynamic_cast<connectors::RoundTrips&>(*connection).SetReusePrepared(savings);
  }
  RunHarness harness(std::move(connections), Mode::kTransaction);
  return harness.Run(option, kNewNumber, 1);
}

}  // namespace

std::vector<NetworkFigure> MeasureOverNetwork(PostgresTarget& target, int n, int repetitions,
                                              const std::vector<double>& delaysMs) {
  const struct {
    const char* name;
    CopyOption option;
  } scenarios[] = {{kFullOne, CopyOption::kTodos},
                   {kConLapi, CopyOption::kConLAPI},
                   {kSinLapi, CopyOption::kSinLAPI}};
  std::vector<NetworkFigure> figures;
  for (const auto& scenario : scenarios) {
    for (const bool savings : {true, false}) {
      // The round trips of one run, and the items it keeps, which every later run must keep too.
      long roundTrips = 0;
      {
        DelayRelay counter(DelayRelay::ServerSocket(), std::chrono::microseconds(0));
        target.Route(counter.port());
        RunOnce(target, n, scenario.option, savings);
        roundTrips = counter.roundTrips();
      }
      const std::int64_t items = target.ItemsOf(kNewNumber).count;
      for (const double delay : delaysMs) {
        if (!savings && delay > 0.25) continue;  // thousands of round trips: minutes per run
        std::unique_ptr<DelayRelay> relay;
        if (delay > 0) {
          relay = std::make_unique<DelayRelay>(
              DelayRelay::ServerSocket(),
              std::chrono::microseconds(static_cast<long>(delay * 1000 + 0.5)));
        }
        target.Route(relay ? relay->port() : 0);
        std::vector<Sample> samples;
        for (int rep = 0; rep < repetitions; ++rep) {
          samples.push_back(RunOnce(target, n, scenario.option, savings));
          if (target.ItemsOf(kNewNumber).count != items) {
            throw std::runtime_error(std::string("a run over the relay kept other items: ") +
                                     scenario.name);
          }
        }
        figures.push_back({scenario.name, n, delay, savings, items, roundTrips, samples});
      }
      target.Route(0);
    }
  }
  return figures;
}

}  // namespace oq::bench
