#include "linux/sysfs_battery_monitor.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/linux/fake_sysfs.h"

namespace brimwell {
namespace {

using namespace std::chrono_literals;

// Collects delivered readings from the monitor's thread.
class Collector {
 public:
  void add(const BatteryReading& reading) {
    std::lock_guard guard(lock_);
    readings_.push_back(reading);
  }
  std::vector<BatteryReading> all() {
    std::lock_guard guard(lock_);
    return readings_;
  }
  std::size_t count() { return all().size(); }
  // Polls for up to five seconds until `done` holds over the readings so far.
  bool waitFor(const std::function<bool(const std::vector<BatteryReading>&)>& done) {
    for (int i = 0; i < 500 && !done(all()); ++i) std::this_thread::sleep_for(10ms);
    return done(all());
  }

 private:
  std::mutex lock_;
  std::vector<BatteryReading> readings_;
};

TEST(SysfsBatteryMonitorTest, PollsTheTreeAndStopsDelivering) {
  testing::TempDir root;
  testing::writeSupply(root.path(), "AC", {{"type", "Mains"}, {"online", "0"}});
  testing::writeSupply(root.path(), "BAT0",
                       {{"type", "Battery"}, {"capacity", "64"}, {"status", "Discharging"}});
  SysfsBatteryMonitor monitor(root.path(), 0.01);
  EXPECT_FALSE(monitor.currentReading().has_value());

  Collector collector;
  monitor.start([&](BatteryReading reading) { collector.add(reading); });
  ASSERT_TRUE(collector.waitFor([](const auto& all) { return !all.empty(); }));

  // The next polls see the adapter come online and the charge change.
  testing::writeFile(root / "AC/online", "1\n");
  testing::writeFile(root / "BAT0/capacity", "65\n");
  testing::writeFile(root / "BAT0/status", "Charging\n");
  ASSERT_TRUE(collector.waitFor([](const auto& all) {
    return all.back().percent == 65 && all.back().powerSource == PowerSource::ac &&
           all.back().isCharging;
  }));
  EXPECT_EQ(monitor.currentReading()->percent, 65);

  monitor.stop();
  const auto delivered = collector.count();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(collector.count(), delivered) << "a reading arrived after stop() returned";
}

TEST(SysfsBatteryMonitorTest, DeliversNothingWithoutABatteryAndMayBeStoppedFromItsCallback) {
  testing::TempDir root;
  testing::writeSupply(root.path(), "AC", {{"type", "Mains"}, {"online", "1"}});
  Collector none;
  {
    SysfsBatteryMonitor desktop(root.path(), 0.01);
    desktop.start([&](BatteryReading reading) { none.add(reading); });
    std::this_thread::sleep_for(50ms);
  }  // destroyed while running: stops
  EXPECT_EQ(none.count(), 0u);

  testing::writeSupply(root.path(), "BAT1", {{"type", "Battery"}, {"capacity", "10"}});
  Collector once;
  auto monitor = std::make_unique<SysfsBatteryMonitor>(root.path(), 0.01);
  monitor->start([&](BatteryReading reading) {
    once.add(reading);
    monitor->stop();
  });
  ASSERT_TRUE(once.waitFor([](const auto& all) { return !all.empty(); }));
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(once.count(), 1u);
  monitor.reset();
}

}  // namespace
}  // namespace brimwell
