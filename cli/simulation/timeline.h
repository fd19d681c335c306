// TimelineEntry: one thing that happened in a simulation, at `t` seconds of wall time since its
// start, as named fields (e.g. {"event":"enteredPhase","phase":"ready","percent":20}). Written
// either as one JSON object per line or as one readable line. Plain value; any thread.
#pragma once

#include <string>

#include "brimwell/core/storage/json_coding.h"

namespace brimwell::simulation {

struct TimelineEntry {
  double t = 0;
  Json fields;
};

// {"t":1830,...}: the fields with "t" added, compact, keys sorted.
std::string jsonLine(const TimelineEntry& entry);

// "30:30  enteredPhase ready at 20 %": the time as mm:ss (hh:mm:ss from an hour on), then the
// entry in words.
std::string textLine(const TimelineEntry& entry);

// 90 → "01:30", 3725 → "01:02:05".
std::string clockText(double seconds);

}  // namespace brimwell::simulation
