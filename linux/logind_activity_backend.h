// LogindActivityBackend: `keepAwake` holds a logind idle lock for exactly as long as the activity
// (or this process) lives; without a system bus, and for `keepRunning`, it holds nothing. Thread
// of the bus connection only (the engine's).
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "brimwell/core/engine/activity.h"
#include "linux/bus_connection.h"

namespace brimwell {

class LogindActivityBackend final : public ActivityBackend {
 public:
  // `bus` is the system bus, or null where there is none.
  explicit LogindActivityBackend(std::shared_ptr<BusConnection> bus, std::string who = "Brimwell")
      : bus_(std::move(bus)), who_(std::move(who)) {}

  // For keepAwake, an activity owning the idle lock (asked for at once, held once logind
  // answers); otherwise an activity that holds nothing. Never fails.
  std::unique_ptr<Activity> begin(ActivityLevel level, std::string_view reason) override;

 private:
  std::shared_ptr<BusConnection> bus_;
  std::string who_;
};

}  // namespace brimwell
