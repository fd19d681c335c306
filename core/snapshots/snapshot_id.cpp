#include "core/snapshots/snapshot_id.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace brimwell::SnapshotID {
namespace {

constexpr std::size_t kLength = 20;

int number(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
  return value;
}

}  // namespace

std::string make(Date date) {
  using namespace std::chrono;
  const auto millis = floor<milliseconds>(date);
  const auto day = floor<days>(millis);
  const year_month_day ymd{day};
  const hh_mm_ss time{millis - day};
  char text[48];
  std::snprintf(text, sizeof text, "%04d%02u%02uT%02d%02d%02d.%03dZ", int(ymd.year()),
                unsigned(ymd.month()), unsigned(ymd.day()), int(time.hours().count()),
                int(time.minutes().count()), int(time.seconds().count()),
                int(time.subseconds().count()));
  return text;
}

std::optional<Date> date(std::string_view text) {
  using namespace std::chrono;
  if (text.size() != kLength) return std::nullopt;
  for (std::size_t i = 0; i < kLength; ++i) {
    const char c = text[i];
    const bool ok = i == 8    ? c == 'T'
                    : i == 15 ? c == '.'
                    : i == 19 ? c == 'Z'
                              : (c >= '0' && c <= '9');
    if (!ok) return std::nullopt;
  }
  const year_month_day ymd{year(number(text, 0, 4)), month(number(text, 4, 2)),
                           day(number(text, 6, 2))};
  const int hour = number(text, 9, 2), minute = number(text, 11, 2), second = number(text, 13, 2);
  if (!ymd.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
  const Date result{sys_days(ymd) + hours(hour) + minutes(minute) + seconds(second) +
                    milliseconds(number(text, 16, 3))};
  if (make(result) != text) return std::nullopt;
  return result;
}

bool isValid(std::string_view text) { return date(text).has_value(); }

}  // namespace brimwell::SnapshotID
