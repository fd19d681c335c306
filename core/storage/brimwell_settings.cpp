#include "core/storage/brimwell_settings.h"

namespace brimwell {
namespace {

// Replaces `field` with the value of `key` when that key holds a readable value of the field's
// type; anything else (missing, null, wrong type, a nested record that fails) keeps the field.
template <class T>
void readInto(const JsonObjectReader& object, std::string_view key, T& field) {
  try {
    field = object.required<T>(key);
  } catch (const JsonCodingError&) {
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
  const JsonObjectReader object(json);  // fails for anything but an object
  BrimwellSettings settings = BrimwellSettings::defaults();
  readInto(object, "thresholds", settings.thresholds);
  readInto(object, "cadence", settings.cadence);
  readInto(object, "protectAgainstCrashes", settings.protectAgainstCrashes);
  readInto(object, "powerSaverLowPowerMode", settings.powerSaverLowPowerMode);
  readInto(object, "powerSaverDim", settings.powerSaverDim);
  readInto(object, "dimTarget", settings.dimTarget);
  readInto(object, "safeLandingEnabled", settings.safeLandingEnabled);
  if (const Json* model = object.find("safeLandingProvenOnBootModel");
      model != nullptr && model->is_string()) {
    settings.safeLandingProvenOnBootModel = model->get<std::string>();
  }
  readInto(object, "excludedBundleIDs", settings.excludedBundleIDs);
  readInto(object, "commandSBundleIDs", settings.commandSBundleIDs);
  readInto(object, "captureClipboard", settings.captureClipboard);
  if (const Json* sound = object.find("alertSound"); sound != nullptr && sound->is_null()) {
    settings.alertSound = std::nullopt;
  } else if (sound != nullptr && sound->is_string()) {
    settings.alertSound = sound->get<std::string>();
  }
  readInto(object, "notifyAdapterChanges", settings.notifyAdapterChanges);
  readInto(object, "showCriticalOverlay", settings.showCriticalOverlay);
  return settings;
}

}  // namespace brimwell
