// Date: a wall-clock instant in integer nanoseconds since 1970 (UTC), so millisecond rounding and
// comparisons are exact. Durations in the public interfaces are seconds as doubles.
#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>

namespace brimwell {

using Date = std::chrono::sys_time<std::chrono::nanoseconds>;

// The instant `seconds` after the epoch (negative before it), rounded to the nearest nanosecond.
inline Date dateFromSeconds(double seconds) {
  return Date(std::chrono::nanoseconds(static_cast<std::int64_t>(std::llround(seconds * 1e9))));
}

inline double secondsSinceEpoch(Date date) {
  return static_cast<double>(date.time_since_epoch().count()) / 1e9;
}

// `date` moved by `seconds` (which may be negative).
inline Date addSeconds(Date date, double seconds) {
  return date + std::chrono::nanoseconds(static_cast<std::int64_t>(std::llround(seconds * 1e9)));
}

// `later` minus `earlier`, in seconds.
inline double secondsBetween(Date later, Date earlier) {
  return static_cast<double>((later - earlier).count()) / 1e9;
}

}  // namespace brimwell
