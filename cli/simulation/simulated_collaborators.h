// The engine's collaborators in a simulation: a battery that delivers what the simulator hands
// it, a capturer of a small fixed workspace, a saver of two applications with one rescued copy,
// a power saver that turns on Low Power Mode and dims the display, and a machine whose boot
// session the simulator sets. Every completion runs before the call returns. Single-threaded:
// the simulator's thread only.
#pragma once

#include <functional>
#include <string>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/engine/collaborators.h"
#include "brimwell/core/engine/engine_clock.h"
#include "brimwell/core/helper/power_saving.h"

namespace brimwell::simulation {

class SimulatedBattery final : public BatteryMonitoring {
 public:
  std::optional<BatteryReading> currentReading() const override { return latest_; }
  void start(std::function<void(BatteryReading)> onReading) override {
    onReading_ = std::move(onReading);
  }
  void stop() override { onReading_ = nullptr; }
  // Hands `reading` to the engine when it is listening.
  void deliver(const BatteryReading& reading);

 private:
  std::optional<BatteryReading> latest_;
  std::function<void(BatteryReading)> onReading_;
};

class SimulatedMachine final : public SystemInfoProviding {
 public:
  static constexpr const char* model = "Laptop1,1";
  std::string bootSessionUUID() override { return boot; }
  std::string hostModel() override { return model; }
  std::string boot = "11111111-2222-4333-8444-000000000001";
};

// An editor with two documents, a browser window with two tabs, a file-manager window, a
// terminal tab and text on the clipboard.
class SimulatedCapturer final : public WorkspaceCapturing {
 public:
  SimulatedCapturer(const EngineClock& clock, SystemInfoProviding& machine)
      : clock_(clock), machine_(machine) {}
  void capture(CaptureTrigger trigger, const std::optional<BatteryReading>& battery,
               const std::set<std::string>& excluding, bool includeClipboard,
               std::function<void(Snapshot)> done) override;

 private:
  const EngineClock& clock_;
  SystemInfoProviding& machine_;
};

// The editor saves both documents; the notes app can't save in place and leaves one copy in the
// rescue folder.
class SimulatedSaver final : public DocumentSaving {
 public:
  void saveDocuments(const std::filesystem::path& rescueFolder,
                     const std::set<std::string>& commandSBundleIDs,
                     const std::set<std::string>& excluding,
                     std::function<void(SavePassOutput)> done) override;
};

// Brightness starts at 0.8; applying turns Low Power Mode on and dims to the settings' target.
class SimulatedPowerSaver final : public PowerSaving {
 public:
  void apply(const BrimwellSettings& settings, std::function<void(PowerSaverRecord)> done) override;
  void restore(const PowerSaverRecord& record, std::function<void()> done) override;

  bool lowPowerMode = false;
  double brightness = 0.8;
};

}  // namespace brimwell::simulation
