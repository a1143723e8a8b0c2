// oq_bench: the copy runs against the database's own limit, side by side, in one run.
//
//   oq_bench [--sizes 100,1000,10000,100000] [--reps-small 15] [--reps 5] [--reps-large 3]
//            [--out DIR]
//
// prints the tables and the targets and writes timings.csv, memory.csv, settings.csv and
// targets.csv into DIR. --memory-child is the program calling itself for one peak-memory figure.
#include <CLI/CLI.hpp>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "memory.h"
#include "report.h"
#include "scenarios.h"
#include "settings_choice.h"
#include "targets.h"
#include "workspace.h"

namespace {

using namespace oq::bench;

// Sizes from kLargeSize on get fewer repetitions (a filtered copy of 100,000 items takes seconds,
// and the whole benchmark has to fit in minutes); sizes below kSmallSize get more, as their runs
// last milliseconds and one disk hiccup would otherwise move the median.
constexpr int kLargeSize = 100000;
constexpr int kSmallSize = 10000;

struct Options {
  std::vector<int> sizes{100, 1000, 10000, 100000};
  int repsSmall = 15;
  int reps = 5;
  int repsLarge = 3;
  int settingsReps = 3;
  std::filesystem::path out = "bench/results";
  std::filesystem::path work;
  bool keepWork = false;
  int memoryChild = 0;
  std::string only;         // "full" or "filtered": measure only those, without settings and memory
  SqliteSettings settings;  // WAL and synchronous NORMAL: what the program opens SQLite with
};

std::filesystem::path MakeWorkFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "oq-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
  return pattern;
}

Report Measure(const Options& options, const Workspace& space) {
  Report report;
  const bool all = options.only.empty();
  if (all) {
    std::cerr << "connection settings per autocommit statement...\n";
    report.settings = MeasureSettings(space.Internos(options.sizes.front()), space.Ncm(),
                                      space.folder(), options.settingsReps);
  }
  for (int n : options.sizes) {
    const int reps = n >= kLargeSize  ? options.repsLarge
                     : n < kSmallSize ? options.repsSmall
                                      : options.reps;
    auto add = [&report](std::vector<Timing> timings) {
      for (Timing& t : timings) report.timings.push_back(std::move(t));
    };
    if (all || options.only == "full") {
      std::cerr << "N=" << n << ": full copy x1, x9...\n";
      add(MeasureFullCopy(space, n, 1, reps, options.settings));
      add(MeasureFullCopy(space, n, 9, reps, options.settings));
    }
    if (all || options.only == "filtered") {
      std::cerr << "N=" << n << ": filtered copies...\n";
      add(MeasureFilteredCopy(space, n, true, reps, options.settings));
      add(MeasureFilteredCopy(space, n, false, reps, options.settings));
    }
  }
  if (!all) return report;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
  for (int n : options.sizes) {
    std::cerr << "N=" << n << ": peak memory...\n";
    report.memory.push_back(MeasureMemory(self, space.folder(), n, options.settings));
  }
  return report;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  CLI::App app{"oQUARDELINO copy benchmark: the runs against the database's own limit"};
  app.add_option("--sizes", options.sizes, "items in the source interno")->delimiter(',');
  app.add_option("--reps-small", options.repsSmall, "repetitions below N=10,000")
      ->check(CLI::PositiveNumber);
  app.add_option("--reps", options.reps, "repetitions from N=10,000 on")
      ->check(CLI::PositiveNumber);
  app.add_option("--reps-large", options.repsLarge, "repetitions from N=100,000 on")
      ->check(CLI::PositiveNumber);
  app.add_option("--out", options.out, "folder for the CSV files");
  app.add_option("--work", options.work, "folder for the databases (default: a new temp folder)");
  app.add_flag("--keep-work", options.keepWork, "keep the databases afterwards");
  app.add_option("--journal", options.settings.journalMode, "SQLite journal mode");
  app.add_option("--synchronous", options.settings.synchronous, "SQLite synchronous level");
  app.add_option("--only", options.only, "measure only these copies (no settings, no memory)")
      ->check(CLI::IsMember({"full", "filtered"}));
  app.add_option("--memory-child", options.memoryChild)->group("");
  CLI11_PARSE(app, argc, argv);

  try {
    if (options.memoryChild > 0) {
      MemoryChild(options.work, options.memoryChild, options.settings);
      return EXIT_SUCCESS;
    }
    const bool ownWork = options.work.empty();
    if (ownWork) options.work = MakeWorkFolder();
    const Workspace space(options.work);
    space.BuildTemplates(options.sizes);

    const Report report = Measure(options, space);
    std::cout << "SQLite connection: journal_mode=" << options.settings.journalMode
              << ", synchronous=" << options.settings.synchronous << "\n";
    PrintReport(std::cout, report);
    const std::vector<TargetCheck> checks = CheckTargets(report);
    PrintTargets(std::cout, checks);
    WriteCsv(options.out, report);
    WriteTargetsCsv(options.out, checks);
    std::cout << "\nCSV written to " << options.out.string() << "\n";
    if (ownWork && !options.keepWork) std::filesystem::remove_all(options.work);
  } catch (const std::exception& failure) {
    std::cerr << "oq_bench: " << failure.what() << "\n";
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
