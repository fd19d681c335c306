#include "brimwell/core/power/fake_battery_spec.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "brimwell/core/base/plain_decimal.h"

namespace brimwell {
namespace {

std::string_view trim(std::string_view text, std::string_view characters) {
  const auto first = text.find_first_not_of(characters);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(characters);
  return text.substr(first, last - first + 1);
}

std::optional<PowerSource> sourceNamed(std::string_view piece) {
  std::string lower(piece);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "ac") return PowerSource::ac;
  if (lower == "batt" || lower == "battery") return PowerSource::battery;
  return std::nullopt;
}

}  // namespace

std::optional<FakeBatterySpec> FakeBatterySpec::parse(std::string_view text) {
  text = trim(text, " \t\n\r\v\f");

  // Empty pieces are dropped before each piece is trimmed, so "50, ,ac" keeps a blank piece.
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    if (comma > start) pieces.push_back(trim(text.substr(start, comma - start), " \t"));
    start = comma + 1;
  }
  if (pieces.size() != 2 && pieces.size() != 3) return std::nullopt;

  const auto percent = parsePlainDecimal(pieces[0]);
  if (!percent || *percent < 0 || *percent > 100) return std::nullopt;
  const auto source = sourceNamed(pieces[1]);
  if (!source) return std::nullopt;

  FakeBatterySpec fake{static_cast<int>(*percent), *source, std::nullopt};
  if (pieces.size() == 3) {
    // Minutes are held as int like every other minutes figure; a larger count is refused.
    const auto minutes = parsePlainDecimal(pieces[2]);
    if (!minutes || *minutes < 0 || *minutes > std::numeric_limits<int>::max()) {
      return std::nullopt;
    }
    fake.minutesToEmpty = static_cast<int>(*minutes);
  }
  return fake;
}

BatteryReading FakeBatterySpec::reading(Date at) const {
  const bool onBattery = powerSource == PowerSource::battery;
  return BatteryReading{
      .percent = percent,
      .powerSource = powerSource,
      .isCharging = !onBattery && percent < 100,
      .minutesToEmpty = onBattery ? minutesToEmpty : std::nullopt,
      .timestamp = at,
  };
}

}  // namespace brimwell
