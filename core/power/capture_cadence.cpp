#include "brimwell/core/power/capture_cadence.h"

namespace brimwell {

double CaptureCadence::interval(Phase phase) const {
  switch (phase) {
    case Phase::watch:
      return watch;
    case Phase::ready:
      return ready;
    case Phase::brimwell:
      return brimwell;
    case Phase::landing:
      return landing;
  }
  return watch;  // unreachable: every phase is handled above
}

Json JsonCoding<CaptureCadence>::write(const CaptureCadence& cadence) {
  return JsonObjectWriter()
      .put("watch", cadence.watch)
      .put("ready", cadence.ready)
      .put("brimwell", cadence.brimwell)
      .put("landing", cadence.landing)
      .take();
}

CaptureCadence JsonCoding<CaptureCadence>::read(const Json& json) {
  const JsonObjectReader object(json);
  return CaptureCadence{
      .watch = object.required<double>("watch"),
      .ready = object.required<double>("ready"),
      .brimwell = object.required<double>("brimwell"),
      .landing = object.required<double>("landing"),
  };
}

}  // namespace brimwell
