// DesktopPowerSaver: the power saving of a Linux desktop. Low Power Mode goes through the helper
// daemon; the built-in panel is dimmed through logind's SetBrightness on the user's own session,
// which needs no root, with the level read from sysfs. Calls are made on the engine's thread and
// complete there. Owned through a std::shared_ptr (completions hold it).
#pragma once

#include <asio/io_context.hpp>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "brimwell/core/helper/helper_controlling.h"
#include "brimwell/core/helper/power_saving.h"
#include "linux/backlight.h"
#include "linux/bus_connection.h"

namespace brimwell {

struct DesktopPowerSaverOptions {
  std::filesystem::path backlights = "/sys/class/backlight";
  // The logind session whose display is dimmed; "auto" is the caller's own.
  std::string session = "auto";
};

class DesktopPowerSaver final : public PowerSaving,
                                public std::enable_shared_from_this<DesktopPowerSaver> {
 public:
  // `bus` is the system bus, or null where there is none (then nothing is dimmed).
  DesktopPowerSaver(asio::io_context& context, std::shared_ptr<HelperControlling> helper,
                    std::shared_ptr<BusConnection> bus, DesktopPowerSaverOptions options = {});

  // Low Power Mode when the settings ask for it and it was off; dimming to `dimTarget` when they
  // ask for it and the panel is brighter. The record lists only what took effect.
  void apply(const BrimwellSettings& settings, std::function<void(PowerSaverRecord)> done) override;
  void restore(const PowerSaverRecord& record, std::function<void()> done) override;
  // Turns Low Power Mode off when the record says it was turned on, and sets the panel back to
  // the recorded brightness; what could not be put back stays in the remainder, with the record's
  // hibernate mode.
  void undo(const PowerSaverRecord& record, std::function<void(PowerSaverRecord)> done) override;

 private:
  void dim(const BrimwellSettings& settings, PowerSaverRecord record,
           std::function<void(PowerSaverRecord)> done);
  void brighten(const PowerSaverRecord& record, PowerSaverRecord remaining,
                std::function<void(PowerSaverRecord)> done);
  // Sets the panel's raw level through logind; `done(true)` when logind accepted it.
  void setLevel(const Backlight& panel, long level, std::function<void(bool)> done);

  asio::io_context& context_;
  std::shared_ptr<HelperControlling> helper_;
  std::shared_ptr<BusConnection> bus_;
  DesktopPowerSaverOptions options_;
};

}  // namespace brimwell
