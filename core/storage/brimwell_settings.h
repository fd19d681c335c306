// BrimwellSettings: the user's configuration of the protection. Decoding never loses the whole
// record to one bad field: each missing or unreadable field falls back to its own default, and
// only a document that isn't a JSON object fails. Values are not clamped or cross-checked here.
// A plain value; any thread.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/power/capture_cadence.h"
#include "brimwell/core/power/thresholds.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

struct BrimwellSettings {
  Thresholds thresholds = Thresholds::defaults();
  CaptureCadence cadence = CaptureCadence::defaults();
  bool protectAgainstCrashes = true;
  bool powerSaverLowPowerMode = true;
  bool powerSaverDim = true;
  double dimTarget = 0.4;  // brightness to dim to
  bool safeLandingEnabled = false;
  std::optional<std::string> safeLandingProvenOnBootModel = std::nullopt;
  std::set<std::string> excludedBundleIDs = {};
  std::set<std::string> commandSBundleIDs = {};
  bool captureClipboard = true;
  std::optional<std::string> alertSound = "Sosumi";  // absent means silent
  bool notifyAdapterChanges = false;
  bool showCriticalOverlay = true;

  // The key under which the host application stores the encoded record.
  static constexpr std::string_view defaultsKey = "settings.v1";

  // Every field at its default.
  static const BrimwellSettings& defaults();

  friend bool operator==(const BrimwellSettings&, const BrimwellSettings&) = default;
};

// Writes every key, leaving out only an absent safeLandingProvenOnBootModel; an absent alertSound
// is written as null so that a chosen silence survives. Reads field by field as described above:
// alertSound null means silent, a missing or non-string alertSound means the default sound.
template <>
struct JsonCoding<BrimwellSettings> {
  static Json write(const BrimwellSettings& settings);
  static BrimwellSettings read(const Json& json);
};

// The decoded record with the keys that were present but could not be used, in field order: the
// document's own account of which of its choices fell back to their defaults. Throws
// JsonCodingError, as the codec does, for a document that isn't an object.
struct SettingsReading {
  BrimwellSettings settings;
  std::vector<std::string> rejectedFields;
};
SettingsReading readSettings(const Json& json);

}  // namespace brimwell
