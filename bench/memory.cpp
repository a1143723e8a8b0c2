#include "memory.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "bench_db.h"
#include "connectors/sqlite/sqlite_connection.h"
#include "run_harness.h"
#include "workspace.h"

namespace oq::bench {

namespace {

long StatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::stol(line.substr(key.size() + 1));
  }
  throw std::runtime_error("no " + key + " in /proc/self/status");
}

void ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  if (!clear.flush()) throw std::runtime_error("cannot reset the resident-set peak");
}

long PeakOf(RunHarness& harness, CopyOption option, const std::string& number) {
  ResetPeak();
  harness.Run(option, number, 1);
  return StatusKb("VmHWM");
}

}  // namespace

void MemoryChild(const std::filesystem::path& work, int n, const SqliteSettings& settings) {
  const Workspace space(work);
  const DatabasePaths paths{work / ("memory-" + std::to_string(n) + ".db"), space.Ncm()};
  FreshCopy(space.Internos(n), paths.internos);
  long base = 0;
  long full = 0;
  long con = 0;
  long sin = 0;
  {
    // Through the program's run guard, as the program copies: what it remembers of a run counts.
    sqlite::OpenOptions options;
    options.journalMode = settings.journalMode;
    options.synchronous = settings.synchronous;
    auto internos = sqlite::SqliteConnection::Open(paths.internos.string(), options);
    auto ncm = sqlite::SqliteConnection::Open(paths.ncm.string(), options);
    RunHarness harness(RunConnections{internos, ncm, internos.get(), Dialect::kSqlite},
                       Mode::kTransaction);
    base = StatusKb("VmRSS");
    full = PeakOf(harness, CopyOption::kTodos, "MEM-TODOS");
    con = PeakOf(harness, CopyOption::kConLAPI, "MEM-CON");
    sin = PeakOf(harness, CopyOption::kSinLAPI, "MEM-SIN");
  }
  RemoveDatabase(paths.internos);
  std::cout << "memory " << n << ' ' << base << ' ' << full << ' ' << con << ' ' << sin
            << std::endl;
}

MemoryFigure MeasureMemory(const std::filesystem::path& program, const std::filesystem::path& work,
                           int n, const SqliteSettings& settings) {
  const std::string command = "'" + program.string() + "' --memory-child " + std::to_string(n) +
                              " --work '" + work.string() + "' --journal '" + settings.journalMode +
                              "' --synchronous '" + settings.synchronous + "'";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) throw std::runtime_error("cannot start " + command);
  std::string output;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
  if (::pclose(pipe) != 0) throw std::runtime_error("memory child failed: " + output);

  std::istringstream in(output.substr(output.rfind("memory ")));
  std::string tag;
  MemoryFigure figure;
  in >> tag >> figure.n >> figure.baselineKb >> figure.peakFullKb >> figure.peakConKb >>
      figure.peakSinKb;
  if (!in || figure.n != n) throw std::runtime_error("memory child said: " + output);
  return figure;
}

}  // namespace oq::bench
