// TimeZone: an IANA time zone from the system's zone database, for naming things in the user's
// local time. Values are cheap to copy and safe to use from any thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/base/date.h"

namespace date {
class time_zone;
}

namespace brimwell {

class TimeZone {
 public:
  // The zone with this IANA name (such as "Europe/Berlin"), or nothing when the database has none.
  static std::optional<TimeZone> named(std::string_view name);
  static TimeZone utc();
  // The machine's zone: TZ when it names a known zone, else /etc/localtime, else UTC.
  static TimeZone current();

  std::string name() const;
  // Local time minus UTC at `date`.
  std::chrono::seconds utcOffset(Date date) const;

  friend bool operator==(const TimeZone& a, const TimeZone& b) { return a.zone_ == b.zone_; }

 private:
  explicit TimeZone(const date::time_zone* zone) : zone_(zone) {}
  const date::time_zone* zone_;  // owned by the zone database, which lives for the process
};

}  // namespace brimwell
