#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <vector>

namespace oq::bench {

// One timed part: wall-clock seconds, and the CPU seconds (user and system) the whole process
// used meanwhile. On a busy machine the wall clock also counts waiting for a core; the CPU time
// does not, so ratios of CPU times stay comparable when other work runs beside the benchmark.
struct Sample {
  double wall = 0;
  double cpu = 0;
};

// CPU seconds this process has used so far.
inline double ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Time since construction, from the steady clock and the process CPU clock.
class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()), cpuStart_(ProcessCpuSeconds()) {}
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }
  Sample Elapsed() const { return {Seconds(), ProcessCpuSeconds() - cpuStart_}; }

 private:
  std::chrono::steady_clock::time_point start_;
  double cpuStart_;
};

// Median of the samples (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> samples);

// Runs `contenders` in turn `repetitions` times, interleaved (A B C, A B C, ...) so that a slow
// spell of the machine hits all of them alike. Each contender does its own untimed set-up and
// returns the time of its timed part. The result holds one list of samples per contender.
std::vector<std::vector<Sample>> Interleave(int repetitions,
                                            const std::vector<std::function<Sample()>>& contenders);

}  // namespace oq::bench
