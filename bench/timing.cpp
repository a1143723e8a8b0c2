#include "timing.h"

#include <algorithm>

namespace oq::bench {

double Median(std::vector<double> samples) {
  if (samples.empty()) return 0.0;
  std::sort(samples.begin(), samples.end());
  const std::size_t middle = samples.size() / 2;
  return samples.size() % 2 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2.0;
}

std::vector<std::vector<Sample>> Interleave(
    int repetitions, const std::vector<std::function<Sample()>>& contenders) {
  std::vector<std::vector<Sample>> samples(contenders.size());
  for (int r = 0; r < repetitions; ++r) {
    for (std::size_t c = 0; c < contenders.size(); ++c) samples[c].push_back(contenders[c]());
  }
  return samples;
}

}  // namespace oq::bench
