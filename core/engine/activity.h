// Keeping the process running or the machine awake while the engine works. ActivityHolding is the
// engine's collaborator; ProcessActivity is the core's own, over a replaceable backend (a logind
// idle inhibitor on a Linux host, nothing where there is none). Engine thread only.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string_view>

#include "brimwell/core/base/enum_text.h"

namespace brimwell {

enum class ActivityLevel { none = 0, keepRunning = 1, keepAwake = 2 };

template <>
struct EnumNames<ActivityLevel> {
  static constexpr std::array<std::string_view, 3> names = {"none", "keepRunning", "keepAwake"};
};

// The level with this raw value (0, 1, 2), or nothing.
std::optional<ActivityLevel> activityLevel(int rawValue);

class ActivityHolding {
 public:
  virtual ~ActivityHolding() = default;
  // Holds exactly `level` from now on, replacing the previous one.
  virtual void hold(ActivityLevel level) = 0;
};

// What actually keeps the process or machine going. An activity ends when its handle is destroyed.
class ActivityBackend {
 public:
  class Activity {
   public:
    virtual ~Activity() = default;
  };
  virtual ~ActivityBackend() = default;
  // Begins an activity at `level` (never `none`).
  virtual std::unique_ptr<Activity> begin(ActivityLevel level, std::string_view reason) = 0;

  // A backend that holds nothing, for hosts without a way to keep the machine awake.
  static std::shared_ptr<ActivityBackend> inert();
};

class ProcessActivity final : public ActivityHolding {
 public:
  static constexpr std::string_view reason = "Brimwell is looking after a low battery";

  explicit ProcessActivity(std::shared_ptr<ActivityBackend> backend = ActivityBackend::inert())
      : backend_(std::move(backend)) {}

  // A new activity begins before the old one ends, so there is never a gap.
  void hold(ActivityLevel level) override;

  ActivityLevel level() const { return level_; }
  bool isHolding() const { return activity_ != nullptr; }

 private:
  std::shared_ptr<ActivityBackend> backend_;
  ActivityLevel level_ = ActivityLevel::none;
  std::unique_ptr<ActivityBackend::Activity> activity_;
};

}  // namespace brimwell
