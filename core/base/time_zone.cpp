#include "brimwell/core/base/time_zone.h"

#include <date/tz.h>

#include <cstdlib>
#include <exception>

namespace brimwell {

std::optional<TimeZone> TimeZone::named(std::string_view name) {
  try {
    return TimeZone(date::locate_zone(name));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

TimeZone TimeZone::utc() {
  // The zone database always has UTC; without a database "Etc/UTC" is still built in.
  if (auto zone = named("Etc/UTC")) return *zone;
  return TimeZone(nullptr);
}

TimeZone TimeZone::current() {
  if (const char* tz = std::getenv("TZ"); tz != nullptr) {
    std::string_view name(tz);
    if (!name.empty() && name.front() == ':') name.remove_prefix(1);
    if (auto zone = named(name)) return *zone;
  }
  try {
    return TimeZone(date::current_zone());
  } catch (const std::exception&) {
    return utc();
  }
}

std::string TimeZone::name() const { return zone_ == nullptr ? "UTC" : std::string(zone_->name()); }

std::chrono::seconds TimeZone::utcOffset(Date date) const {
  if (zone_ == nullptr) return std::chrono::seconds(0);
  return zone_->get_info(std::chrono::floor<std::chrono::seconds>(date)).offset;
}

}  // namespace brimwell
