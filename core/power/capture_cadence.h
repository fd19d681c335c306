// CaptureCadence: how often the workspace is captured in each phase, in seconds. Values are used
// as stored (no checks). A plain value; any thread.
#pragma once

#include "brimwell/core/power/phase.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

struct CaptureCadence {
  double watch = 600;
  double ready = 120;
  double brimwell = 60;
  double landing = 60;

  // 600, 120, 60 and 60 seconds.
  static constexpr CaptureCadence defaults() { return CaptureCadence{}; }

  // The interval of `phase`, in seconds.
  double interval(Phase phase) const;

  friend bool operator==(const CaptureCadence&, const CaptureCadence&) = default;
};

// All four keys are required when decoding.
template <>
struct JsonCoding<CaptureCadence> {
  static Json write(const CaptureCadence& cadence);
  static CaptureCadence read(const Json& json);
};

}  // namespace brimwell
