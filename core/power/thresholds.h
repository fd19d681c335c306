// Thresholds: the user's percentages and minutes that separate the phases, with the margin needed
// to step back. Never repaired field by field: a record that isn't valid is replaced as a whole by
// the defaults where it is used. A plain value; any thread.
#pragma once

#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

struct Thresholds {
  int ready = 20;          // percent at or below which `ready` begins, 1 to 95
  int brimwell = 10;       // percent at or below which `brimwell` begins, 1 to 95, below `ready`
  int landingPercent = 3;  // percent at or below which `landing` begins, 1 to 95, below `brimwell`
  int landingMinutes = 4;  // minutes to empty at or below which `landing` may begin early, 0 to 30
  int hysteresis = 3;      // points (and minutes) above a threshold needed to step back, 1 to 10

  // 20 %, 10 %, 3 %, 4 minutes, hysteresis 3.
  static constexpr Thresholds defaults() { return Thresholds{}; }

  // Every field within its range and landingPercent < brimwell < ready.
  bool isValid() const;

  // These thresholds when valid, else the defaults: the ones that are used.
  Thresholds inForce() const { return isValid() ? *this : defaults(); }

  friend bool operator==(const Thresholds&, const Thresholds&) = default;
};

// All five keys are required when decoding.
template <>
struct JsonCoding<Thresholds> {
  static Json write(const Thresholds& thresholds);
  static Thresholds read(const Json& json);
};

}  // namespace brimwell
