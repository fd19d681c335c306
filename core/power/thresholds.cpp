#include "brimwell/core/power/thresholds.h"

namespace brimwell {
namespace {

bool within(int value, int low, int high) { return value >= low && value <= high; }

}  // namespace

bool Thresholds::isValid() const {
  return within(ready, 1, 95) && within(brimwell, 1, 95) && within(landingPercent, 1, 95) &&
         within(landingMinutes, 0, 30) && within(hysteresis, 1, 10) && landingPercent < brimwell &&
         brimwell < ready;
}

Json JsonCoding<Thresholds>::write(const Thresholds& thresholds) {
  return JsonObjectWriter()
      .put("ready", thresholds.ready)
      .put("brimwell", thresholds.brimwell)
      .put("landingPercent", thresholds.landingPercent)
      .put("landingMinutes", thresholds.landingMinutes)
      .put("hysteresis", thresholds.hysteresis)
      .take();
}

Thresholds JsonCoding<Thresholds>::read(const Json& json) {
  const JsonObjectReader object(json);
  return Thresholds{
      .ready = object.required<int>("ready"),
      .brimwell = object.required<int>("brimwell"),
      .landingPercent = object.required<int>("landingPercent"),
      .landingMinutes = object.required<int>("landingMinutes"),
      .hysteresis = object.required<int>("hysteresis"),
  };
}

}  // namespace brimwell
