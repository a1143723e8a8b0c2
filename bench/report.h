#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "timing.h"

namespace oq::bench {

// Implementations compared within one scenario.
inline constexpr const char* kRun = "run";             // through cMAIN and the copy run
inline constexpr const char* kFloor = "floor";         // the same statements through the C API
inline constexpr const char* kSetBased = "set-based";  // one INSERT ... SELECT ... JOIN ncm
// The floor's statements by shape, values bound, pipelined where the engine can.
inline constexpr const char* kPrepared = "prepared";
// Part of the run: the connector's rewriting of left(x, n) calls for SQLite, over the statements
// of one run (a diagnostic: how much of the run's margin over the floor it accounts for).
inline constexpr const char* kRewrite = "left-rewrite";

// The timings of one implementation of one scenario at one N.
struct Timing {
  std::string scenario;             // "full x1", "full x9", "con LAPI", "sin LAPI"
  std::string implementation;       // kRun, kFloor, kSetBased
  int n = 0;                        // items of the source interno
  std::int64_t items = 0;           // items written by one repetition (the kept ones when filtered)
  std::vector<Sample> samples;      // one per repetition
  std::string engine = "sqlite";    // or "postgresql"
  std::string mode = "autocommit";  // or "transaction": the whole run in one
  double Median() const;            // of the wall-clock seconds
  double CpuMedian() const;         // of the process CPU seconds
  double ItemsPerSecond() const;
};

// Peak resident set of a child process that ran each scenario once on a source of n items.
struct MemoryFigure {
  int n = 0;
  long baselineKb = 0;  // resident set with the databases open, before the first run
  long peakFullKb = 0;  // peak during one full copy (resident-set peak reset before each run)
  long peakConKb = 0;
  long peakSinKb = 0;
  long PeakKb() const;
  // Growth of the peak over the baseline, per source item.
  double BytesPerItem() const;
};

// The cost of one autocommit tariff lookup plus one single-row insert under one setting.
struct SettingsFigure {
  std::string journalMode;
  std::string synchronous;
  int pairs = 0;
  std::vector<double> samples;              // seconds for `pairs` pairs
  double MicrosecondsPerStatement() const;  // two statements per pair
  double PairsPerSecond() const;
};

// One copy on PostgreSQL in one transaction (the program's run guard), with the server reached
// straight through its socket (delay 0) or through a DelayRelay (relay.h).
struct NetworkFigure {
  std::string scenario;
  int n = 0;
  double delayMs = 0;      // each way; 0: the socket
  bool savings = true;     // the guard's and the connectors' round-trip savings on
  std::int64_t items = 0;  // written (kept) by one run
  long roundTrips = 0;     // of one run, counted through a relay
  std::vector<Sample> samples;
  double Median() const;
  double ItemsPerSecond() const;
  double RoundTripsPerItem() const;
};

struct Report {
  std::vector<Timing> timings;
  std::vector<NetworkFigure> network;
  std::vector<MemoryFigure> memory;
  std::vector<SettingsFigure> settings;
  // The timing of `implementation` in the scenario, size, engine and mode of `like`, or null when
  // not measured.
  const Timing* Find(const Timing& like, const std::string& implementation) const;
  // The median wall-clock (or CPU) seconds of `scenario`/`implementation` at `n` on SQLite in
  // autocommit, or 0 when not measured.
  double MedianOf(const std::string& scenario, const std::string& implementation, int n) const;
  double CpuMedianOf(const std::string& scenario, const std::string& implementation, int n) const;
};

// The tables of times, items per second and ratios, as the terminal shows them.
void PrintReport(std::ostream& out, const Report& report);
// The table of the runs over the network, with each one's time against the socket's.
void PrintNetworkFigures(std::ostream& out, const std::vector<NetworkFigure>& figures);
// Writes timings.csv, network.csv, memory.csv and settings.csv into `folder` (created if needed).
void WriteCsv(const std::filesystem::path& folder, const Report& report);

}  // namespace oq::bench
