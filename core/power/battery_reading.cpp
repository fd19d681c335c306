#include "brimwell/core/power/battery_reading.h"

namespace brimwell {

std::optional<double> BatteryReading::batteryWatts() const {
  if (!amperage || !voltage) return std::nullopt;
  return *amperage * *voltage;
}

Json JsonCoding<BatteryReading>::write(const BatteryReading& reading) {
  return JsonObjectWriter()
      .put("percent", reading.percent)
      .put("powerSource", reading.powerSource)
      .put("isCharging", reading.isCharging)
      .put("minutesToEmpty", reading.minutesToEmpty)
      .put("minutesToFull", reading.minutesToFull)
      .put("cycleCount", reading.cycleCount)
      .put("healthPercent", reading.healthPercent)
      .put("temperatureCelsius", reading.temperatureCelsius)
      .put("adapterWatts", reading.adapterWatts)
      .put("voltage", reading.voltage)
      .put("amperage", reading.amperage)
      .put("timestamp", reading.timestamp)
      .take();
}

BatteryReading JsonCoding<BatteryReading>::read(const Json& json) {
  const JsonObjectReader object(json);
  return BatteryReading{
      .percent = object.required<int>("percent"),
      .powerSource = object.required<PowerSource>("powerSource"),
      .isCharging = object.required<bool>("isCharging"),
      .minutesToEmpty = object.optional<int>("minutesToEmpty"),
      .minutesToFull = object.optional<int>("minutesToFull"),
      .cycleCount = object.optional<int>("cycleCount"),
      .healthPercent = object.optional<double>("healthPercent"),
      .temperatureCelsius = object.optional<double>("temperatureCelsius"),
      .adapterWatts = object.optional<int>("adapterWatts"),
      .voltage = object.optional<double>("voltage"),
      .amperage = object.optional<double>("amperage"),
      .timestamp = object.required<Date>("timestamp"),
  };
}

}  // namespace brimwell
