// The collaborators of `brimwell watch`: the desktop's own (power saving, the helper daemon's
// controller, activity, sleep and wake, notifications) and stand-ins where nothing real exists yet
// on this host: a fixed battery from fake-battery text, a capturer that records only the snapshot's
// meta and a saver that saves nothing. Engine thread only.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <memory>

#include <optional>
#include <string>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/engine/collaborators.h"
#include "brimwell/core/engine/engine_clock.h"
#include "brimwell/core/helper/power_saving.h"
#include "brimwell/core/power/fake_battery_spec.h"
#include "linux/bus_connection.h"
#include "linux/desktop_notifier.h"
#include "linux/engine_notices.h"
#include "linux/logind_sleep_watch.h"

namespace brimwell::cli {

// Delivers the fake battery's reading at start and every `interval` seconds, on the io_context.
class FixedBattery final : public BatteryMonitoring {
 public:
  FixedBattery(asio::io_context& context, const EngineClock& clock, FakeBatterySpec fakeBattery,
               double interval = 30)
      : timer_(context), clock_(clock), fakeBattery_(fakeBattery), interval_(interval) {}
  std::optional<BatteryReading> currentReading() const override { return latest_; }
  void start(std::function<void(BatteryReading)> onReading) override;
  void stop() override;

 private:
  void tick();

  asio::steady_timer timer_;
  const EngineClock& clock_;
  FakeBatterySpec fakeBattery_;
  double interval_;
  std::optional<BatteryReading> latest_;
  std::function<void(BatteryReading)> onReading_;
};

// The desktop around the engine, on the system bus (logind) and the session bus (notifications);
// whatever bus is missing, the part that needs it does nothing.
class DesktopServices {
 public:
  explicit DesktopServices(asio::io_context& context);
  DesktopServices(const DesktopServices&) = delete;
  DesktopServices& operator=(const DesktopServices&) = delete;

  std::shared_ptr<PowerSaving> powerSaver;
  std::shared_ptr<HelperControlling> helper;
  std::shared_ptr<ActivityHolding> activity;

  // Tells `engine` of sleep, wake and shutdown, and shows its events and its restore offer; the
  // offer's plan command names `support` when it isn't the standard support directory.
  void attach(const std::shared_ptr<BrimwellEngine>& engine, const std::string& support);
  void tell(const EngineEvent& event);
  void offerPendingRestore();
  // Shows `notice`, which asks nothing; false when there is no notification server to show it.
  bool notify(const Notice& notice);
  void stop();
  // The session bus, or nothing when there is none.
  std::shared_ptr<BusConnection> sessionBus() const { return session_; }

 private:
  asio::io_context& context_;
  std::shared_ptr<BusConnection> system_;
  std::shared_ptr<BusConnection> session_;
  std::shared_ptr<LogindSleepWatch> sleep_;
  std::shared_ptr<DesktopNotifier> notifier_;
  std::optional<EngineNotices> notices_;
};

// Runs `brimwell restore ID [--support DIR]` as a program of its own, reaped when it ends.
void startRestore(const std::string& id, const std::string& support);

// "brimwell plan <id>", with "--support <dir>" when `support` is given, quoted for a shell.
std::string planCommand(const std::string& id, const std::string& support);

}  // namespace brimwell::cli
