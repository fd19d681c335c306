#include "linux/sysfs_battery_monitor.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "linux/power_supply.h"
#include "linux/sysfs_battery_reading.h"

namespace brimwell {

// The latest reading, shared with every poller.
struct SysfsBatteryMonitor::Latest {
  mutable std::mutex lock;
  std::optional<BatteryReading> reading;  // guarded by lock
};

// One poller's stop signal. Each start() makes a new one, so a poller told to stop from inside
// its own callback finishes on its own even after the monitor has started another or is gone.
struct SysfsBatteryMonitor::Run {
  std::mutex lock;
  std::condition_variable wake;
  bool stopping = false;  // guarded by lock
};

namespace {

Date wallClockNow() {
  return std::chrono::time_point_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now());
}

}  // namespace

SysfsBatteryMonitor::SysfsBatteryMonitor(std::filesystem::path root, double interval)
    : root_(std::move(root)),
      interval_(interval > 0 ? interval : defaultInterval),
      latest_(std::make_shared<Latest>()) {}

SysfsBatteryMonitor::~SysfsBatteryMonitor() { stop(); }

std::optional<BatteryReading> SysfsBatteryMonitor::currentReading() const {
  std::lock_guard guard(latest_->lock);
  return latest_->reading;
}

void SysfsBatteryMonitor::start(std::function<void(BatteryReading)> onReading) {
  stop();
  run_ = std::make_shared<Run>();
  const auto period = std::chrono::duration<double>(interval_);
  poller_ = std::thread(
      [run = run_, latest = latest_, root = root_, period, onReading = std::move(onReading)] {
        std::unique_lock lock(run->lock);
        while (!run->stopping) {
          lock.unlock();
          const auto reading = readingFromSysfs(readPowerSupplies(root), wallClockNow());
          if (reading) {
            std::lock_guard guard(latest->lock);
            latest->reading = reading;
          }
          lock.lock();
          if (run->stopping) break;
          if (reading && onReading) {
            lock.unlock();
            onReading(*reading);
            lock.lock();
          }
          run->wake.wait_for(lock, period, [&] { return run->stopping; });
        }
      });
}

void SysfsBatteryMonitor::stop() {
  if (!run_) return;
  {
    std::lock_guard guard(run_->lock);
    run_->stopping = true;
  }
  run_->wake.notify_all();
  run_.reset();
  if (!poller_.joinable()) return;
  if (poller_.get_id() == std::this_thread::get_id()) {
    poller_.detach();  // stopped from the callback: the poller ends when the callback returns
  } else {
    poller_.join();
  }
}

}  // namespace brimwell
