// PowerSettings: the power tool's own settings for each power source (the hibernate mode that picks
// how the machine sleeps, and Low Power Mode), with the JSON text of its state file. Plain values
// and pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/power/power_source.h"

namespace brimwell {

struct SourceSettings {
  int hibernateMode = 0;  // 0, 3 or 25
  bool lowPowerMode = false;
  friend bool operator==(const SourceSettings&, const SourceSettings&) = default;
};

struct PowerSettings {
  SourceSettings battery;
  SourceSettings ac;

  const SourceSettings& of(PowerSource source) const {
    return source == PowerSource::battery ? battery : ac;
  }
  friend bool operator==(const PowerSettings&, const PowerSettings&) = default;
};

// {"ac":{"hibernatemode":0,"lowpowermode":false},"battery":{...}}
std::string encodePowerSettings(const PowerSettings& settings);

// The settings `text` holds; absent unless it is an object with both sources, each with a
// hibernate mode of 0, 3 or 25 and a boolean Low Power Mode.
std::optional<PowerSettings> decodePowerSettings(std::string_view text);

}  // namespace brimwell
