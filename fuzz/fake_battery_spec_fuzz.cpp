// The fake battery text: whatever parses is in range, prints back to text that parses to the
// same battery, and gives a reading that says the same.
#include "core/power/fake_battery_spec.h"
#include "fuzz/fuzz_check.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto spec = FakeBatterySpec::parse(fuzz::textOf(data, size));
  if (!spec) return 0;
  fuzz::check(spec->percent >= 0 && spec->percent <= 100, "the percentage is 0 to 100");
  fuzz::check(!spec->minutesToEmpty || *spec->minutesToEmpty >= 0, "minutes are not negative");
  std::string text = std::to_string(spec->percent) + "," +
                     (spec->powerSource == PowerSource::ac ? "ac" : "battery");
  if (spec->minutesToEmpty) text += "," + std::to_string(*spec->minutesToEmpty);
  auto again = FakeBatterySpec::parse(text);
  fuzz::check(again.has_value() && *again == *spec,
              "the canonical text parses to the same battery");
  const BatteryReading reading = spec->reading(Date{});
  fuzz::check(reading.percent == spec->percent, "the reading carries the percentage");
  return 0;
}
