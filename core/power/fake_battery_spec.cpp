#include "core/power/fake_battery_spec.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace brimwell {
namespace {

std::string_view trim(std::string_view text, std::string_view characters) {
  const auto first = text.find_first_not_of(characters);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(characters);
  return text.substr(first, last - first + 1);
}

// A decimal integer: an optional sign followed by ASCII digits only, within the 64-bit range.
std::optional<std::int64_t> decimalInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  // Accumulate the magnitude as unsigned so that the most negative 64-bit value is accepted.
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  constexpr auto maximum = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (negative) {
    if (magnitude > maximum + 1) return std::nullopt;
    return magnitude == maximum + 1 ? std::numeric_limits<std::int64_t>::min()
                                    : -static_cast<std::int64_t>(magnitude);
  }
  if (magnitude > maximum) return std::nullopt;
  return static_cast<std::int64_t>(magnitude);
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

  const auto percent = decimalInteger(pieces[0]);
  if (!percent || *percent < 0 || *percent > 100) return std::nullopt;
  const auto source = sourceNamed(pieces[1]);
  if (!source) return std::nullopt;

  FakeBatterySpec fake{static_cast<int>(*percent), *source, std::nullopt};
  if (pieces.size() == 3) {
    // Minutes are held as int like every other minutes figure; a larger count is refused.
    const auto minutes = decimalInteger(pieces[2]);
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
