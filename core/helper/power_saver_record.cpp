#include "brimwell/core/helper/power_saver_record.h"

#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/read_file.h"

namespace brimwell {

std::optional<PowerSaverRecord> PowerSaverRecord::load(const std::filesystem::path& path) {
  auto text = readFile(path);
  if (!text) return std::nullopt;
  auto record = BrimwellJSON::decode<PowerSaverRecord>(*text);
  if (!record) return std::nullopt;
  return *record;
}

Json JsonCoding<PowerSaverRecord>::write(const PowerSaverRecord& record) {
  return JsonObjectWriter()
      .put("turnedOnLowPowerMode", record.turnedOnLowPowerMode)
      .put("previousBrightness", record.previousBrightness)
      .put("dimmedTo", record.dimmedTo)
      .put("previousHibernateMode", record.previousHibernateMode)
      .take();
}

PowerSaverRecord JsonCoding<PowerSaverRecord>::read(const Json& json) {
  JsonObjectReader object(json);
  return {
      .turnedOnLowPowerMode = object.required<bool>("turnedOnLowPowerMode"),
      .previousBrightness = object.optional<double>("previousBrightness"),
      .dimmedTo = object.optional<double>("dimmedTo"),
      .previousHibernateMode = object.optional<int>("previousHibernateMode"),
  };
}

}  // namespace brimwell
