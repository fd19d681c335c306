#include "brimwell/core/storage/brimwell_settings.h"

namespace brimwell {
namespace {

// Replaces `field` with the value of `key` when that key holds a readable value of the field's
// type; anything else (missing, null, wrong type, a nested record that fails) keeps the field. A
// key that is present but unusable is added to `rejected`.
template <class T>
void readInto(const JsonObjectReader& object, std::string_view key, T& field,
              std::vector<std::string>& rejected) {
  try {
    field = object.required<T>(key);
  } catch (const JsonCodingError&) {
    if (object.find(key) != nullptr) rejected.emplace_back(key);
  }
}

}  // namespace

const BrimwellSettings& BrimwellSettings::defaults() {
  static const BrimwellSettings settings;
  return settings;
}

Json JsonCoding<BrimwellSettings>::write(const BrimwellSettings& settings) {
  Json json = JsonObjectWriter()
                  .put("thresholds", settings.thresholds)
                  .put("cadence", settings.cadence)
                  .put("protectAgainstCrashes", settings.protectAgainstCrashes)
                  .put("powerSaverLowPowerMode", settings.powerSaverLowPowerMode)
                  .put("powerSaverDim", settings.powerSaverDim)
                  .put("dimTarget", settings.dimTarget)
                  .put("safeLandingEnabled", settings.safeLandingEnabled)
                  .put("safeLandingProvenOnBootModel", settings.safeLandingProvenOnBootModel)
                  .put("excludedBundleIDs", settings.excludedBundleIDs)
                  .put("commandSBundleIDs", settings.commandSBundleIDs)
                  .put("captureClipboard", settings.captureClipboard)
                  .put("notifyAdapterChanges", settings.notifyAdapterChanges)
                  .put("showCriticalOverlay", settings.showCriticalOverlay)
                  .take();
  json["alertSound"] = settings.alertSound ? Json(*settings.alertSound) : Json(nullptr);
  return json;
}

BrimwellSettings JsonCoding<BrimwellSettings>::read(const Json& json) {
  return readSettings(json).settings;
}

SettingsReading readSettings(const Json& json) {
  const JsonObjectReader object(json);  // fails for anything but an object
  SettingsReading reading{BrimwellSettings::defaults(), {}};
  BrimwellSettings& settings = reading.settings;
  std::vector<std::string>& rejected = reading.rejectedFields;
  readInto(object, "thresholds", settings.thresholds, rejected);
  readInto(object, "cadence", settings.cadence, rejected);
  readInto(object, "protectAgainstCrashes", settings.protectAgainstCrashes, rejected);
  readInto(object, "powerSaverLowPowerMode", settings.powerSaverLowPowerMode, rejected);
  readInto(object, "powerSaverDim", settings.powerSaverDim, rejected);
  readInto(object, "dimTarget", settings.dimTarget, rejected);
  readInto(object, "safeLandingEnabled", settings.safeLandingEnabled, rejected);
  if (const Json* model = object.find("safeLandingProvenOnBootModel"); model != nullptr) {
    if (model->is_string()) {
      settings.safeLandingProvenOnBootModel = model->get<std::string>();
    } else if (!model->is_null()) {
      rejected.emplace_back("safeLandingProvenOnBootModel");
    }
  }
  readInto(object, "excludedBundleIDs", settings.excludedBundleIDs, rejected);
  readInto(object, "commandSBundleIDs", settings.commandSBundleIDs, rejected);
  readInto(object, "captureClipboard", settings.captureClipboard, rejected);
  if (const Json* sound = object.find("alertSound"); sound != nullptr && sound->is_null()) {
    settings.alertSound = std::nullopt;
  } else if (sound != nullptr && sound->is_string()) {
    settings.alertSound = sound->get<std::string>();
  } else if (sound != nullptr) {
    rejected.emplace_back("alertSound");
  }
  readInto(object, "notifyAdapterChanges", settings.notifyAdapterChanges, rejected);
  readInto(object, "showCriticalOverlay", settings.showCriticalOverlay, rejected);
  return reading;
}

}  // namespace brimwell
