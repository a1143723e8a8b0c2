#include "report.h"

#include <cstdio>
#include <fstream>
#include <set>
#include <stdexcept>

#include "timing.h"

namespace oq::bench {

namespace {

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Cell(const std::string& text, int width) {
  return text.size() >= static_cast<std::size_t>(width)
             ? text
             : std::string(static_cast<std::size_t>(width) - text.size(), ' ') + text;
}

std::string Ratio(double value, double floor) {
  return value > 0 && floor > 0 ? Fixed(value / floor, 2) : "-";
}

double Min(const std::vector<double>& samples) {
  double best = samples.empty() ? 0 : samples.front();
  for (double s : samples) best = s < best ? s : best;
  return best;
}

double Max(const std::vector<double>& samples) {
  double worst = 0;
  for (double s : samples) worst = s > worst ? s : worst;
  return worst;
}

std::ofstream OpenCsv(const std::filesystem::path& file) {
  std::ofstream out(file);
  if (!out) throw std::runtime_error("cannot write " + file.string());
  return out;
}

}  // namespace

namespace {
std::vector<double> Walls(const std::vector<Sample>& samples) {
  std::vector<double> out;
  for (const Sample& s : samples) out.push_back(s.wall);
  return out;
}
std::vector<double> Cpus(const std::vector<Sample>& samples) {
  std::vector<double> out;
  for (const Sample& s : samples) out.push_back(s.cpu);
  return out;
}
}  // namespace

double Timing::Median() const { return bench::Median(Walls(samples)); }
double Timing::CpuMedian() const { return bench::Median(Cpus(samples)); }

double Timing::ItemsPerSecond() const {
  const double m = Median();
  return m > 0 ? static_cast<double>(items) / m : 0;
}

long MemoryFigure::PeakKb() const {
  long peak = peakFullKb > peakConKb ? peakFullKb : peakConKb;
  return peak > peakSinKb ? peak : peakSinKb;
}

double MemoryFigure::BytesPerItem() const {
  return n > 0 ? (PeakKb() - baselineKb) * 1024.0 / n : 0;
}

double SettingsFigure::MicrosecondsPerStatement() const {
  return pairs > 0 ? bench::Median(samples) * 1e6 / (2.0 * pairs) : 0;
}

double SettingsFigure::PairsPerSecond() const {
  const double m = bench::Median(samples);
  return m > 0 ? pairs / m : 0;
}

const Timing* Report::Find(const Timing& like, const std::string& implementation) const {
  for (const Timing& t : timings) {
    if (t.scenario == like.scenario && t.implementation == implementation && t.n == like.n &&
        t.engine == like.engine && t.mode == like.mode) {
      return &t;
    }
  }
  return nullptr;
}

double Report::MedianOf(const std::string& scenario, const std::string& implementation,
                        int n) const {
  const Timing* t = Find({scenario, implementation, n, 0, {}}, implementation);
  return t ? t->Median() : 0;
}

double Report::CpuMedianOf(const std::string& scenario, const std::string& implementation,
                           int n) const {
  const Timing* t = Find({scenario, implementation, n, 0, {}}, implementation);
  return t ? t->CpuMedian() : 0;
}

namespace {

double MedianOf(const Timing* t) { return t ? t->Median() : 0; }
double CpuMedianOf(const Timing* t) { return t ? t->CpuMedian() : 0; }

void PrintRow(std::ostream& out, const Report& report, const Timing& t) {
  const double run = t.Median();
  const double floor = MedianOf(report.Find(t, kFloor));
  const double prepared = MedianOf(report.Find(t, kPrepared));
  const double set = MedianOf(report.Find(t, kSetBased));
  const double rewrite = MedianOf(report.Find(t, kRewrite));
  out << Cell(t.engine, 11) << Cell(t.mode, 12) << Cell(t.scenario, 9)
      << Cell(std::to_string(t.n), 8) << Cell(std::to_string(t.samples.size()), 5)
      << Cell(std::to_string(t.items), 9) << Cell(Fixed(run * 1e3, 2), 11)
      << Cell(floor > 0 ? Fixed(floor * 1e3, 2) : "-", 11) << Cell(Ratio(run, floor), 7)
      << Cell(Ratio(t.CpuMedian(), CpuMedianOf(report.Find(t, kFloor))), 10)
      << Cell(prepared > 0 ? Fixed(prepared * 1e3, 2) : "-", 13)
      << Cell(set > 0 ? Fixed(set * 1e3, 2) : "-", 14) << Cell(Ratio(run, set), 9)
      << Cell(Fixed(t.ItemsPerSecond(), 0), 13)
      << Cell(rewrite > 0 ? Fixed(rewrite * 1e3, 2) : "-", 12) << "\n";
}

// The values of `key` over the timings, in the order first measured.
template <typename Key>
std::vector<std::string> InOrder(const std::vector<Timing>& timings, Key key) {
  std::vector<std::string> values;
  std::set<std::string> seen;
  for (const Timing& t : timings) {
    if (seen.insert(key(t)).second) values.push_back(key(t));
  }
  return values;
}

}  // namespace

void PrintReport(std::ostream& out, const Report& report) {
  out << "\nTimes are medians of the repetitions (reps), wall clock; ratio = run / floor; cpu "
         "ratio\n"
         "= the same for the process CPU time (steady when other work shares the machine).\n"
         "In mode transaction the run goes through the program's run guard (one transaction)\n"
         "and the floor replays its statements between BEGIN and COMMIT; the prepared floor\n"
         "sends them by shape with their values bound, each lookup once, pipelined on\n"
         "PostgreSQL: the least a copy of one statement per lookup and kept item can cost.\n";
  out << Cell("engine", 11) << Cell("mode", 12) << Cell("scenario", 9) << Cell("N", 8)
      << Cell("reps", 5) << Cell("items", 9) << Cell("run ms", 11) << Cell("floor ms", 11)
      << Cell("ratio", 7) << Cell("cpu ratio", 10) << Cell("prepared ms", 13)
      << Cell("set-based ms", 14) << Cell("run/set", 9) << Cell("run items/s", 13)
      << Cell("rewrite ms", 12) << "\n";
  auto setup = [](const Timing& t) { return t.engine + " " + t.mode; };
  for (const std::string& group : InOrder(report.timings, setup)) {
    for (const std::string& scenario :
         InOrder(report.timings, [](const Timing& t) { return t.scenario; })) {
      for (const Timing& t : report.timings) {
        if (setup(t) == group && t.scenario == scenario && t.implementation == kRun) {
          PrintRow(out, report, t);
        }
      }
    }
  }
  if (!report.memory.empty()) {
    out << "\nPeak resident set per N (one child process per N):\n"
        << Cell("N", 8) << Cell("base KB", 10) << Cell("full KB", 10) << Cell("con KB", 10)
        << Cell("sin KB", 10) << Cell("bytes/item", 12) << "\n";
    for (const MemoryFigure& m : report.memory) {
      out << Cell(std::to_string(m.n), 8) << Cell(std::to_string(m.baselineKb), 10)
          << Cell(std::to_string(m.peakFullKb), 10) << Cell(std::to_string(m.peakConKb), 10)
          << Cell(std::to_string(m.peakSinKb), 10) << Cell(Fixed(m.BytesPerItem(), 0), 12) << "\n";
    }
  }
  if (!report.settings.empty()) {
    out << "\nOne autocommit lookup + one insert, per setting:\n"
        << Cell("journal", 9) << Cell("sync", 8) << Cell("pairs", 7) << Cell("us/stmt", 10)
        << Cell("pairs/s", 10) << "\n";
    for (const SettingsFigure& s : report.settings) {
      out << Cell(s.journalMode, 9) << Cell(s.synchronous, 8) << Cell(std::to_string(s.pairs), 7)
          << Cell(Fixed(s.MicrosecondsPerStatement(), 1), 10)
          << Cell(Fixed(s.PairsPerSecond(), 0), 10) << "\n";
    }
  }
}

double NetworkFigure::Median() const {
  std::vector<double> walls;
  for (const Sample& s : samples) walls.push_back(s.wall);
  return bench::Median(walls);
}

double NetworkFigure::ItemsPerSecond() const {
  return Median() > 0 ? static_cast<double>(items) / Median() : 0;
}

double NetworkFigure::RoundTripsPerItem() const {
  return items > 0 ? static_cast<double>(roundTrips) / static_cast<double>(items) : 0;
}

void PrintNetworkFigures(std::ostream& out, const std::vector<NetworkFigure>& figures) {
  if (figures.empty()) return;
  out << "\nPostgreSQL over a network: the run in one transaction, straight on the socket (delay "
         "0)\nor through a relay that delays each direction; savings off = every statement on "
         "its own.\n"
      << Cell("scenario", 9) << Cell("N", 8) << Cell("delay ms", 10) << Cell("savings", 9)
      << Cell("reps", 5) << Cell("items", 8) << Cell("run ms", 11) << Cell("items/s", 10)
      << Cell("round trips", 13) << Cell("per item", 10) << Cell("x socket", 10) << "\n";
  for (const NetworkFigure& f : figures) {
    double socket = 0;
    for (const NetworkFigure& g : figures) {
      if (g.scenario == f.scenario && g.n == f.n && g.savings == f.savings && g.delayMs == 0) {
        socket = g.Median();
      }
    }
    out << Cell(f.scenario, 9) << Cell(std::to_string(f.n), 8) << Cell(Fixed(f.delayMs, 2), 10)
        << Cell(f.savings ? "on" : "off", 9) << Cell(std::to_string(f.samples.size()), 5)
        << Cell(std::to_string(f.items), 8) << Cell(Fixed(f.Median() * 1e3, 1), 11)
        << Cell(Fixed(f.ItemsPerSecond(), 0), 10) << Cell(std::to_string(f.roundTrips), 13)
        << Cell(Fixed(f.RoundTripsPerItem(), 3), 10)
        << Cell(socket > 0 ? Fixed(f.Median() / socket, 2) : "-", 10) << "\n";
  }
}

void WriteCsv(const std::filesystem::path& folder, const Report& report) {
  std::filesystem::create_directories(folder);
  std::ofstream timings = OpenCsv(folder / "timings.csv");
  timings << "scenario,implementation,n,repetitions,items,median_s,min_s,max_s,items_per_s,"
             "ratio_to_floor,median_cpu_s,cpu_ratio_to_floor,engine,mode\n";
  for (const Timing& t : report.timings) {
    const double floor = MedianOf(report.Find(t, kFloor));
    const double cpuFloor = CpuMedianOf(report.Find(t, kFloor));
    timings << t.scenario << ',' << t.implementation << ',' << t.n << ',' << t.samples.size() << ','
            << t.items << ',' << Fixed(t.Median(), 6) << ',' << Fixed(Min(Walls(t.samples)), 6)
            << ',' << Fixed(Max(Walls(t.samples)), 6) << ',' << Fixed(t.ItemsPerSecond(), 1) << ','
            << (floor > 0 ? Fixed(t.Median() / floor, 4) : "") << ',' << Fixed(t.CpuMedian(), 6)
            << ',' << (cpuFloor > 0 ? Fixed(t.CpuMedian() / cpuFloor, 4) : "") << ',' << t.engine
            << ',' << t.mode << '\n';
  }
  std::ofstream memory = OpenCsv(folder / "memory.csv");
  memory << "n,baseline_kb,peak_full_kb,peak_con_kb,peak_sin_kb,bytes_per_item\n";
  for (const MemoryFigure& m : report.memory) {
    memory << m.n << ',' << m.baselineKb << ',' << m.peakFullKb << ',' << m.peakConKb << ','
           << m.peakSinKb << ',' << Fixed(m.BytesPerItem(), 1) << '\n';
  }
  std::ofstream network = OpenCsv(folder / "network.csv");
  network << "scenario,n,delay_ms,savings,repetitions,items,median_s,items_per_s,round_trips,"
             "round_trips_per_item\n";
  for (const NetworkFigure& f : report.network) {
    network << f.scenario << ',' << f.n << ',' << Fixed(f.delayMs, 2) << ','
            << (f.savings ? "on" : "off") << ',' << f.samples.size() << ',' << f.items << ','
            << Fixed(f.Median(), 6) << ',' << Fixed(f.ItemsPerSecond(), 1) << ',' << f.roundTrips
            << ',' << Fixed(f.RoundTripsPerItem(), 4) << '\n';
  }
  std::ofstream settings = OpenCsv(folder / "settings.csv");
  settings << "journal_mode,synchronous,pairs,median_s,us_per_statement,pairs_per_s\n";
  for (const SettingsFigure& s : report.settings) {
    settings << s.journalMode << ',' << s.synchronous << ',' << s.pairs << ','
             << Fixed(Median(s.samples), 6) << ',' << Fixed(s.MicrosecondsPerStatement(), 2) << ','
             << Fixed(s.PairsPerSecond(), 1) << '\n';
  }
}

}  // namespace oq::bench
