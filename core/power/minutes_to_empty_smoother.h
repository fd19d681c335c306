// MinutesToEmptySmoother: a steadier minutes-to-empty figure, the median of the estimates of the
// last minute, and nothing during the first minute of watching; one outlying estimate doesn't
// move it. A plain value owned by the engine; one thread at a time.
#pragma once

#include <optional>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/power/thresholds.h"

namespace brimwell {

struct MinutesToEmptySmoother {
  struct Sample {
    Date at;
    int minutes = 0;
    friend bool operator==(const Sample&, const Sample&) = default;
  };

  std::vector<Sample> samples;        // accepted estimates, oldest first
  std::optional<Date> watchingSince;  // first reading since creation or reset()

  // Seconds of samples kept, and of warm-up before a figure is given.
  static constexpr double window = 60.0;

  // Records the estimate `minutes` of a reading at `percent` taken at `at` and returns the median
  // of the estimates of the last `window` seconds, or nothing during warm-up or without
  // estimates. Negative estimates are ignored, and 0 is taken only at or below landingPercent.
  std::optional<int> add(std::optional<int> minutes, int percent, Date at,
                         const Thresholds& thresholds);

  // Forgets every sample and starts a new warm-up with the next reading.
  void reset();

  friend bool operator==(const MinutesToEmptySmoother&, const MinutesToEmptySmoother&) = default;
};

}  // namespace brimwell
