// The fake battery text: whatever parses is in range, prints back to text that parses to the
// same battery, and gives a reading that says the same.
#include "brimwell/core/power/fake_battery_spec.h"
#include "fuzz/fuzz_check.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto fakeBattery = FakeBatterySpec::parse(fuzz::textOf(data, size));
  if (!fakeBattery) return 0;
  fuzz::check(fakeBattery->percent >= 0 && fakeBattery->percent <= 100,
              "the percentage is 0 to 100");
  fuzz::check(!fakeBattery->minutesToEmpty || *fakeBattery->minutesToEmpty >= 0,
              "minutes are not negative");
  std::string text = std::to_string(fakeBattery->percent) + "," +
                     (fakeBattery->powerSource == PowerSource::ac ? "ac" : "battery");
  if (fakeBattery->minutesToEmpty) text += "," + std::to_string(*fakeBattery->minutesToEmpty);
  auto again = FakeBatterySpec::parse(text);
  fuzz::check(again.has_value() && *again == *fakeBattery,
              "the canonical text parses to the same battery");
  const BatteryReading reading = fakeBattery->reading(Date{});
  fuzz::check(reading.percent == fakeBattery->percent, "the reading carries the percentage");
  return 0;
}
