#include "brimwell/core/engine/activity.h"

namespace brimwell {
namespace {

class InertBackend final : public ActivityBackend {
 public:
  std::unique_ptr<Activity> begin(ActivityLevel, std::string_view) override {
    return std::make_unique<Activity>();
  }
};

}  // namespace

std::optional<ActivityLevel> activityLevel(int rawValue) {
  if (rawValue < 0 || rawValue > 2) return std::nullopt;
  return static_cast<ActivityLevel>(rawValue);
}

std::shared_ptr<ActivityBackend> ActivityBackend::inert() {
  return std::make_shared<InertBackend>();
}

void ProcessActivity::hold(ActivityLevel level) {
  if (level == level_) return;
  auto next = level == ActivityLevel::none ? nullptr : backend_->begin(level, reason);
  activity_ = std::move(next);  // the previous activity ends only now
  level_ = level;
}

}  // namespace brimwell
