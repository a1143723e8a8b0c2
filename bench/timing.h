#pragma once

#include <chrono>
#include <functional>
#include <vector>

namespace oq::bench {

// Seconds of wall-clock time since construction, from the steady clock.
class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

// Median of the samples (the mean of the two middle ones for an even count); 0 for none.
double Median(std::vector<double> samples);

// Runs `contenders` in turn `repetitions` times, interleaved (A B C, A B C, ...) so that a slow
// spell of the machine hits all of them alike. Each contender does its own untimed set-up and
// returns the seconds of its timed part. The result holds one list of samples per contender.
std::vector<std::vector<double>> Interleave(int repetitions,
                                            const std::vector<std::function<double()>>& contenders);

}  // namespace oq::bench
