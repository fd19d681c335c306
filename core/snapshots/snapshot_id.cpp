#include "brimwell/core/snapshots/snapshot_id.h"

#include <chrono>
#include <cstdint>

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
  const int yearNumber = int(ymd.year());
  std::string text(kLength, '0');
  // Writes `value` as `count` zero-padded digits ending before `end`.
  const auto put = [&](std::size_t end, std::size_t count, long long value) {
    for (std::size_t i = 0; i < count; ++i, value /= 10) text[end - 1 - i] = char('0' + value % 10);
  };
  put(4, 4, yearNumber < 0 ? 0 : yearNumber);
  put(6, 2, unsigned(ymd.month()));
  put(8, 2, unsigned(ymd.day()));
  text[8] = 'T';
  put(11, 2, time.hours().count());
  put(13, 2, time.minutes().count());
  put(15, 2, time.seconds().count());
  text[15] = '.';
  put(19, 3, time.subseconds().count());
  text[19] = 'Z';
  // A year without a four-digit form keeps all its digits; such a text is never a valid identifier.
  if (yearNumber < 0 || yearNumber > 9999) text.replace(0, 4, std::to_string(yearNumber));
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
  const sys_time<milliseconds> instant = sys_days(ymd) + hours(hour) + minutes(minute) +
                                         seconds(second) + milliseconds(number(text, 16, 3));
  // Only instants a Date can hold (1677 to 2262) are identifiers; others would overflow it.
  if (instant < ceil<milliseconds>(Date::min()) || instant > floor<milliseconds>(Date::max())) {
    return std::nullopt;
  }
  const Date result = time_point_cast<nanoseconds>(instant);
  if (make(result) != text) return std::nullopt;
  return result;
}

bool isValid(std::string_view text) { return date(text).has_value(); }

}  // namespace brimwell::SnapshotID
