// The collaborators of `brimwell watch` that have nothing real behind them on this host: a fixed
// battery from fake-battery text, a capturer that records only the snapshot's meta, a saver that
// saves nothing and a power saver that changes nothing. Engine thread only.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <memory>

#include "core/engine/collaborators.h"
#include "core/engine/engine_clock.h"
#include "core/helper/power_saving.h"
#include "core/power/fake_battery_spec.h"

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

class MetaOnlyCapturer final : public WorkspaceCapturing {
 public:
  MetaOnlyCapturer(const EngineClock& clock, std::shared_ptr<SystemInfoProviding> machine)
      : clock_(clock), machine_(std::move(machine)) {}
  void capture(CaptureTrigger trigger, const std::optional<BatteryReading>& battery,
               const std::set<std::string>& excluding, bool includeClipboard,
               std::function<void(Snapshot)> done) override;

 private:
  const EngineClock& clock_;
  std::shared_ptr<SystemInfoProviding> machine_;
};

class NothingSaver final : public DocumentSaving {
 public:
  void saveDocuments(const std::filesystem::path&, const std::set<std::string>&,
                     const std::set<std::string>&,
                     std::function<void(SavePassOutput)> done) override {
    done(SavePassOutput{});
  }
};

class NothingPowerSaver final : public PowerSaving {
 public:
  void apply(const BrimwellSettings&, std::function<void(PowerSaverRecord)> done) override {
    done(PowerSaverRecord::none());
  }
  void restore(const PowerSaverRecord&, std::function<void()> done) override { done(); }
};

}  // namespace brimwell::cli
