#include "power/power_settings.h"

#include <nlohmann/json.hpp>

namespace brimwell {
namespace {

using nlohmann::json;

json encodeSource(const SourceSettings& source) {
  return {{"hibernatemode", source.hibernateMode}, {"lowpowermode", source.lowPowerMode}};
}

std::optional<SourceSettings> decodeSource(const json& object, const char* key) {
  const auto source = object.find(key);
  if (source == object.end() || !source->is_object()) return std::nullopt;
  const auto mode = source->find("hibernatemode");
  const auto lowPower = source->find("lowpowermode");
  if (mode == source->end() || !mode->is_number_integer() || lowPower == source->end() ||
      !lowPower->is_boolean()) {
    return std::nullopt;
  }
  const auto value = mode->get<std::int64_t>();
  if (value != 0 && value != 3 && value != 25) return std::nullopt;
  return SourceSettings{static_cast<int>(value), lowPower->get<bool>()};
}

}  // namespace

std::string encodePowerSettings(const PowerSettings& settings) {
  return json{{"ac", encodeSource(settings.ac)}, {"battery", encodeSource(settings.battery)}}
      .dump();
}

std::optional<PowerSettings> decodePowerSettings(std::string_view text) {
  const json object = json::parse(text, nullptr, false);
  if (object.is_discarded() || !object.is_object()) return std::nullopt;
  auto battery = decodeSource(object, "battery");
  auto ac = decodeSource(object, "ac");
  if (!battery || !ac) return std::nullopt;
  return PowerSettings{*battery, *ac};
}

}  // namespace brimwell
