#include "brimwell/core/power/minutes_to_empty_smoother.h"

#include <algorithm>
#include <chrono>

namespace brimwell {
namespace {

// The window as an exact duration, so that a sample exactly 60 s old is kept.
constexpr std::chrono::nanoseconds kWindow =
    std::chrono::seconds(static_cast<long long>(MinutesToEmptySmoother::window));

}  // namespace

std::optional<int> MinutesToEmptySmoother::add(std::optional<int> minutes, int percent, Date at,
                                               const Thresholds& thresholds) {
  if (!watchingSince) watchingSince = at;
  if (minutes && *minutes >= 0 && (*minutes > 0 || percent <= thresholds.landingPercent)) {
    samples.push_back({at, *minutes});
  }
  std::erase_if(samples, [&](const Sample& sample) { return at - sample.at > kWindow; });

  if (at - *watchingSince < kWindow || samples.empty()) return std::nullopt;
  std::vector<int> sorted;
  sorted.reserve(samples.size());
  for (const auto& sample : samples) sorted.push_back(sample.minutes);
  const auto middle = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
  std::nth_element(sorted.begin(), middle, sorted.end());
  return *middle;
}

void MinutesToEmptySmoother::reset() {
  samples.clear();
  watchingSince.reset();
}

}  // namespace brimwell
