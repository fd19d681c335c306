#include "helper/helper_record.h"

#include <nlohmann/json.hpp>

namespace brimwell {

using nlohmann::json;

std::string encodeHelperRecord(const HelperRecord& record) {
  json object = json::object();
  if (record.hibernateModeToRestore)
    object["hibernateModeToRestore"] = *record.hibernateModeToRestore;
  if (record.batteryLowPowerModeToRestore) {
    object["batteryLowPowerModeToRestore"] = *record.batteryLowPowerModeToRestore;
  }
  return object.dump();
}

std::optional<HelperRecord> decodeHelperRecord(std::string_view text) {
  json object = json::parse(text, nullptr, false);
  if (object.is_discarded() || !object.is_object()) return std::nullopt;
  HelperRecord record;
  if (auto mode = object.find("hibernateModeToRestore"); mode != object.end() && !mode->is_null()) {
    if (mode->is_number_unsigned()) {
      if (mode->get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    } else if (!mode->is_number_integer()) {
      return std::nullopt;
    }
    record.hibernateModeToRestore = mode->get<std::int64_t>();
  }
  if (auto on = object.find("batteryLowPowerModeToRestore"); on != object.end() && !on->is_null()) {
    if (!on->is_boolean()) return std::nullopt;
    record.batteryLowPowerModeToRestore = on->get<bool>();
  }
  return record;
}

}  // namespace brimwell
