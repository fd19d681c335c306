#include "linux/sysfs_battery_monitor.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "linux/power_supply.h"
#include "linux/sysfs_battery_reading.h"

namespace brimwell {

// What the polling thread touches. It is shared so that a poller told to stop from inside its
// own callback can finish on its own after the monitor is gone.
struct SysfsBatteryMonitor::Shared {
  mutable std::mutex lock;
  std::condition_variable wake;
  bool stopping = false;                  // guarded by lock
  std::optional<BatteryReading> current;  // guarded by lock
};

namespace {

Date wallClockNow() {
  return std::chrono::time_point_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now());
}

}  // namespace

SysfsBatteryMonitor::SysfsBatteryMonitor(std::filesystem::path root, double interval)
    : root_(std::move(root)),
      interval_(interval > 0 ? interval : defaultInterval),
      shared_(std::make_shared<Shared>()) {}

SysfsBatteryMonitor::~SysfsBatteryMonitor() { stop(); }

std::optional<BatteryReading> SysfsBatteryMonitor::currentReading() const {
  std::lock_guard guard(shared_->lock);
  return shared_->current;
}

void SysfsBatteryMonitor::start(std::function<void(BatteryReading)> onReading) {
  stop();
  auto shared = std::make_shared<Shared>();
  {
    // Keep the last reading across a restart.
    std::lock_guard guard(shared_->lock);
    shared->current = shared_->current;
  }
  shared_ = shared;
  const auto period = std::chrono::duration<double>(interval_);
  poller_ = std::thread([shared, root = root_, period, onReading = std::move(onReading)] {
    std::unique_lock lock(shared->lock);
    while (!shared->stopping) {
      lock.unlock();
      auto reading = readingFromSysfs(readPowerSupplies(root), wallClockNow());
      lock.lock();
      if (shared->stopping) break;
      if (reading) {
        shared->current = reading;
        lock.unlock();
        if (onReading) onReading(*reading);
        lock.lock();
      }
      shared->wake.wait_for(lock, period, [&] { return shared->stopping; });
    }
  });
}

void SysfsBatteryMonitor::stop() {
  {
    std::lock_guard guard(shared_->lock);
    shared_->stopping = true;
  }
  shared_->wake.notify_all();
  if (!poller_.joinable()) return;
  if (poller_.get_id() == std::this_thread::get_id()) {
    poller_.detach();  // stopped from the callback: the poller ends when the callback returns
  } else {
    poller_.join();
  }
}

}  // namespace brimwell
