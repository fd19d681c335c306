#include "cli/watch_collaborators.h"

#include <chrono>

#include "core/engine/snapshot_shell.h"

namespace brimwell::cli {

void FixedBattery::start(std::function<void(BatteryReading)> onReading) {
  onReading_ = std::move(onReading);
  timer_.cancel();
  tick();
}

void FixedBattery::stop() {
  onReading_ = nullptr;
  timer_.cancel();
}

void FixedBattery::tick() {
  if (!onReading_) return;
  latest_ = fakeBattery_.reading(clock_.now());
  onReading_(*latest_);
  timer_.expires_after(std::chrono::milliseconds(static_cast<long long>(interval_ * 1000)));
  timer_.async_wait([this](std::error_code error) {
    if (!error) tick();
  });
}

void MetaOnlyCapturer::capture(CaptureTrigger trigger, const std::optional<BatteryReading>& battery,
                               const std::set<std::string>&, bool,
                               std::function<void(Snapshot)> done) {
  done(snapshotShell(clock_.now(), trigger, battery, *machine_));
}

}  // namespace brimwell::cli
