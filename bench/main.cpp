// oq_bench: the copy runs against the database's own limit, side by side, in one run.
//
//   oq_bench [--sizes 100,1000,10000,100000] [--reps-small 15] [--reps 5] [--reps-large 3]
//            [--engines sqlite,postgresql] [--modes autocommit,transaction] [--out DIR]
//            [--delays 0,0.25,1] [--only full|filtered|preview|network]
//
// --delays: PostgreSQL's runs in one transaction are measured again with the server on the
// socket (0) and behind a relay that delays each direction by that many milliseconds.
// PostgreSQL is the server libpq's defaults and PGHOST, PGUSER... name; without one answering,
// its rows are skipped with a note.
// prints the tables and the targets and writes timings.csv, memory.csv, settings.csv and
// targets.csv into DIR. --memory-child is the program calling itself for one peak-memory figure.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "bench_target.h"
#include "memory.h"
#include "preview_timing.h"
#include "report.h"
#include "scenarios.h"
#include "settings_choice.h"
#include "targets.h"
#ifdef OQ_HAVE_POSTGRES
#include "network.h"
#include "postgres_target.h"
#endif
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
  std::vector<std::string> engines{"sqlite", "postgresql"};
  std::vector<std::string> modes{"autocommit", "transaction"};
  std::vector<double> delays{0, 0.25, 1};  // ms each way; PostgreSQL over the network
  std::string only;  // "full", "filtered", "preview" or "network": only those (no settings, memory)
  SqliteSettings settings;  // the file's own journal and SQLite's synchronous level, as the program
};

std::filesystem::path MakeWorkFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "oq-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create " + pattern);
  return pattern;
}

bool Has(const std::vector<std::string>& list, const std::string& value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

// The engines asked for, each with its databases; PostgreSQL only when a server answers.
std::vector<std::unique_ptr<BenchTarget>> Targets(const Options& options, const Workspace& space) {
  std::vector<std::unique_ptr<BenchTarget>> targets;
  if (Has(options.engines, "sqlite")) {
    targets.push_back(std::make_unique<SqliteTarget>(space, "copy", options.settings));
  }
  if (Has(options.engines, "postgresql")) {
#ifdef OQ_HAVE_POSTGRES
    std::string why;
    if (PostgresTarget::Reachable(why)) {
      targets.push_back(std::make_unique<PostgresTarget>(space));
    } else {
      std::cout << "PostgreSQL: no server answers (" << why << "); its rows are skipped.\n";
    }
#else
    std::cout << "PostgreSQL: built without its connector; its rows are skipped.\n";
#endif
  }
  return targets;
}

Report Measure(const Options& options, const Workspace& space) {
  Report report;
  const std::vector<std::unique_ptr<BenchTarget>> targets = Targets(options, space);
  std::vector<Mode> modes;
  for (Mode mode : {Mode::kAutocommit, Mode::kTransaction}) {
    if (Has(options.modes, NameOf(mode))) modes.push_back(mode);
  }
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
    for (const auto& target : targets) {
      for (Mode mode : modes) {
        const std::string where = std::string(target->engine()) + ", " + NameOf(mode);
        if (all || options.only == "full") {
          std::cerr << "N=" << n << ", " << where << ": full copy x1, x9...\n";
          add(MeasureFullCopy(*target, mode, n, 1, reps));
          add(MeasureFullCopy(*target, mode, n, 9, reps));
        }
        if (all || options.only == "filtered") {
          std::cerr << "N=" << n << ", " << where << ": filtered copies...\n";
          add(MeasureFilteredCopy(*target, mode, n, true, reps));
          add(MeasureFilteredCopy(*target, mode, n, false, reps));
        }
      }
#ifdef OQ_HAVE_POSTGRES
      auto* postgres = dynamic_cast<PostgresTarget*>(target.get());
      if (postgres != nullptr && !options.delays.empty() && (all || options.only == "network")) {
        std::cerr << "N=" << n << ", postgresql over the network...\n";
        for (NetworkFigure& figure : MeasureOverNetwork(*postgres, n, reps, options.delays)) {
          report.network.push_back(std::move(figure));
        }
      }
#endif
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
  app.add_option("--engines", options.engines, "engines to measure")
      ->delimiter(',')
      ->check(CLI::IsMember({"sqlite", "postgresql"}));
  app.add_option("--modes", options.modes, "how a run's statements are committed")
      ->delimiter(',')
      ->check(CLI::IsMember({"autocommit", "transaction"}));
  app.add_option("--delays", options.delays,
                 "ms each way between PostgreSQL and the program (0: its socket)")
      ->delimiter(',');
  app.add_option("--only", options.only, "measure only these copies (no settings, no memory)")
      ->check(CLI::IsMember({"full", "filtered", "preview", "network"}));
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
    PrintNetworkFigures(std::cout, report.network);
    const std::vector<TargetCheck> checks = CheckTargets(report);
    PrintTargets(std::cout, checks);
    if (options.only.empty() || options.only == "preview") {
      std::vector<PreviewFigure> previews;
      for (int n : options.sizes) previews.push_back(MeasurePreview(space, n, options.reps));
      PrintPreviewFigures(std::cout, previews);
    }
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
