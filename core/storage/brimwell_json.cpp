#include "brimwell/core/storage/brimwell_json.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace brimwell::BrimwellJSON {
namespace {

using std::chrono::days;
using std::chrono::seconds;

constexpr std::int64_t kNanosPerMilli = 1'000'000;
constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads `count` ASCII digits at `at`, or fails.
std::optional<int> digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return std::nullopt;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!isDigit(text[i])) return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// The instant `whole` plus `nanos`, or nothing when Date can't hold it (before 1677 or after 2262).
std::optional<Date> dateOf(std::chrono::sys_seconds whole, std::int64_t nanos) {
  std::int64_t secondsPart = whole.time_since_epoch().count();
  // Before 1970 borrow a second, so the earliest instants don't overflow on the way.
  if (secondsPart < 0 && nanos > 0) {
    ++secondsPart;
    nanos -= kNanosPerSecond;
  }
  std::int64_t total = 0;
  if (__builtin_mul_overflow(secondsPart, kNanosPerSecond, &total) ||
      __builtin_add_overflow(total, nanos, &total)) {
    return std::nullopt;
  }
  return Date(std::chrono::nanoseconds(total));
}

// The whole-second UTC form yyyy-MM-ddTHH:mm:ss followed by Z, +hhmm or -hhmm; fields out of
// range (month 13, 30 February, hour 24) are rejected rather than rolled over.
std::optional<std::chrono::sys_seconds> parsePlain(std::string_view text) {
  if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
      text[16] != ':') {
    return std::nullopt;
  }
  const auto year = digits(text, 0, 4), month = digits(text, 5, 2), day = digits(text, 8, 2);
  const auto hour = digits(text, 11, 2), minute = digits(text, 14, 2), second = digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(*year), std::chrono::month(*month),
                                         std::chrono::day(*day)};
  if (!date.ok() || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;

  std::chrono::minutes offset{0};
  const std::string_view zone = text.substr(19);
  if (zone != "Z") {
    if (zone.size() != 5 || (zone[0] != '+' && zone[0] != '-')) return std::nullopt;
    const auto zoneHours = digits(zone, 1, 2), zoneMinutes = digits(zone, 3, 2);
    if (!zoneHours || !zoneMinutes || *zoneHours > 23 || *zoneMinutes > 59) return std::nullopt;
    offset = std::chrono::hours(*zoneHours) + std::chrono::minutes(*zoneMinutes);
    if (zone[0] == '-') offset = -offset;
  }
  const auto local = std::chrono::sys_days(date) + std::chrono::hours(*hour) +
                     std::chrono::minutes(*minute) + seconds(*second);
  return local - offset;
}

// The nanoseconds named by the fraction digits "0.<digits>", rounded to the nearest nanosecond.
std::int64_t fractionNanos(std::string_view fraction) {
  std::int64_t nanos = 0;
  for (std::size_t i = 0; i < 9; ++i)
    nanos = nanos * 10 + (i < fraction.size() ? fraction[i] - '0' : 0);
  if (fraction.size() > 9 && fraction[9] >= '5') ++nanos;
  return nanos;
}

}  // namespace

std::string format(Date date) {
  // Milliseconds since the epoch, rounded half away from zero.
  const std::int64_t nanos = date.time_since_epoch().count();
  std::int64_t millis = nanos / kNanosPerMilli;
  const std::int64_t rest = nanos % kNanosPerMilli;
  if (rest * 2 >= kNanosPerMilli) ++millis;
  if (rest * 2 <= -kNanosPerMilli) --millis;

  // Whole seconds rounded down, so the millisecond part is 0...999 before 1970 too.
  std::int64_t whole = millis / 1000;
  if (millis % 1000 < 0) --whole;
  const int fractionMillis = static_cast<int>(millis - whole * 1000);

  const std::chrono::sys_seconds instant{seconds(whole)};
  const auto day = std::chrono::floor<days>(instant);
  const std::chrono::year_month_day ymd{day};
  const std::chrono::hh_mm_ss time{instant - day};
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(ymd.year()),
                unsigned(ymd.month()), unsigned(ymd.day()), int(time.hours().count()),
                int(time.minutes().count()), int(time.seconds().count()), fractionMillis);
  return text;
}

std::optional<Date> parse(std::string_view text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) {
    const auto whole = parsePlain(text);
    return whole ? dateOf(*whole, 0) : std::nullopt;
  }

  std::size_t end = dot + 1;
  while (end < text.size() && isDigit(text[end])) ++end;
  const std::string_view fraction = text.substr(dot + 1, end - dot - 1);
  if (fraction.empty()) return std::nullopt;

  std::string remainder(text.substr(0, dot));
  remainder.append(text.substr(end));
  const auto whole = parsePlain(remainder);
  if (!whole) return std::nullopt;
  return dateOf(*whole, fractionNanos(fraction));
}

std::string dump(const Json& json) {
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Result<Json> parseTree(std::string_view text) {
  // The parser takes a NUL byte for the end of the text, so anything behind one would go unread.
  // JSON holds no raw NUL anywhere (inside strings it is escaped), so one is always an error.
  if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
    return fail("The data isn't valid JSON (at byte " + std::to_string(nul + 1) + ").");
  }
  try {
    return Json::parse(text);
  } catch (const Json::parse_error& error) {
    return fail("The data isn't valid JSON (at byte " + std::to_string(error.byte) + ").");
  } catch (const Json::out_of_range&) {  // a number literal beyond any double, such as 1e999
    return fail("The data isn't valid JSON (a number is too large).");
  }
}

}  // namespace brimwell::BrimwellJSON
