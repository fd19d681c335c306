// SysfsBatteryMonitor: polls the power-supply class directory at start and every `interval`
// seconds on its own thread and hands each reading, in order, to the callback on that thread.
// currentReading() from any thread; start() and stop() from one thread at a time.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "brimwell/core/engine/collaborators.h"
#include "brimwell/core/power/battery_reading.h"

namespace brimwell {

class SysfsBatteryMonitor final : public BatteryMonitoring {
 public:
  static constexpr double defaultInterval = 5;  // seconds
  static constexpr const char* defaultRoot = "/sys/class/power_supply";

  explicit SysfsBatteryMonitor(std::filesystem::path root = defaultRoot,
                               double interval = defaultInterval);
  ~SysfsBatteryMonitor() override;
  SysfsBatteryMonitor(const SysfsBatteryMonitor&) = delete;
  SysfsBatteryMonitor& operator=(const SysfsBatteryMonitor&) = delete;

  // The latest reading delivered, or nothing before the first.
  std::optional<BatteryReading> currentReading() const override;
  // Starts polling; a monitor already started is stopped first. A machine without a system
  // battery delivers nothing.
  void start(std::function<void(BatteryReading)> onReading) override;
  // Returns once no callback is running or will run; called from inside the callback, it only
  // ends the polling.
  void stop() override;

 private:
  struct Latest;
  struct Run;

  const std::filesystem::path root_;
  const double interval_;
  const std::shared_ptr<Latest> latest_;
  std::shared_ptr<Run> run_;  // the current poller's stop signal
  std::thread poller_;
};

}  // namespace brimwell
