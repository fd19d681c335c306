// Costs of the engine's two hot paths: handling one battery reading that changes no phase, and a
// whole capture cycle (request, capture by an instant capturer, store, prune, journal). Files go
// to /dev/shm where it exists, so the flushes to a disk are left out of the figure.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <asio/io_context.hpp>
#include <cstdio>
#include <filesystem>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/snapshots/snapshot_id.h"

namespace {

using namespace brimwell;

class StillClock final : public EngineClock {
 public:
  Date now() const override { return now_; }
  std::shared_ptr<Cancellable> schedule(double, std::function<void()>) override {
    return std::make_shared<Idle>();
  }
  void tick() { now_ += std::chrono::milliseconds(1); }

 private:
  struct Idle : Cancellable {
    void cancel() override {}
  };
  Date now_ = std::chrono::system_clock::now();
};

class Battery final : public BatteryMonitoring {
 public:
  std::optional<BatteryReading> currentReading() const override { return std::nullopt; }
  void start(std::function<void(BatteryReading)> onReading) override {
    deliver = std::move(onReading);
  }
  void stop() override {}
  std::function<void(BatteryReading)> deliver;
};

class Capturer final : public WorkspaceCapturing {
 public:
  explicit Capturer(const EngineClock& clock) : clock_(clock) {}
  void capture(CaptureTrigger trigger, const std::optional<BatteryReading>&,
               const std::set<std::string>&, bool, std::function<void(Snapshot)> done) override {
    Snapshot snapshot;
    snapshot.meta.createdAt = clock_.now();
    snapshot.id = SnapshotID::make(snapshot.meta.createdAt);
    snapshot.meta.trigger = trigger;
    snapshot.apps.resize(20);
    done(snapshot);
  }

 private:
  const EngineClock& clock_;
};

class Saver final : public DocumentSaving {
 public:
  void saveDocuments(const std::filesystem::path&, const std::set<std::string>&,
                     const std::set<std::string>&,
                     std::function<void(SavePassOutput)> done) override {
    done({});
  }
};

class NoPowerSaving final : public PowerSaving {
 public:
  void apply(const BrimwellSettings&, std::function<void(PowerSaverRecord)> done) override {
    done({});
  }
  void restore(const PowerSaverRecord&, std::function<void()> done) override { done(); }
};

class NoHelper final : public HelperControlling {
 public:
  void state(Completion<HelperState> done) override { done(helper_state::NotInstalled{}); }
  void lowPowerMode(Completion<Result<bool>> done) override { done(false); }
  void setLowPowerMode(bool, Completion<Status> done) override { done(Status()); }
  void batteryHibernateMode(Completion<Result<std::int64_t>> done) override {
    done(std::int64_t{3});
  }
  void setBatteryHibernateMode(std::int64_t, Completion<Status> done) override { done(Status()); }
  void sleepNow(Completion<Status> done) override { done(Status()); }
};

class Info final : public SystemInfoProviding {
 public:
  std::string bootSessionUUID() override { return "boot"; }
  std::string hostModel() override { return "Laptop1,1"; }
};

struct Fixture {
  Fixture() {
    const auto base = std::filesystem::exists("/dev/shm") ? std::filesystem::path("/dev/shm")
                                                          : std::filesystem::temp_directory_path();
    std::string pattern = (base / "brimwell-engine-bench-XXXXXX").string();
    dir = ::mkdtemp(pattern.data());
    paths = BrimwellPaths{dir / "support", dir / "rescued"};
    battery = std::make_shared<Battery>();
    engine = std::make_shared<BrimwellEngine>(
        context,
        BrimwellEngine::Collaborators{battery, std::make_shared<Capturer>(*clock),
                                      std::make_shared<Saver>(), std::make_shared<NoPowerSaving>(),
                                      std::make_shared<NoHelper>(), std::make_shared<Info>()},
        std::make_shared<SnapshotStore>(paths), std::make_shared<JournalStore>(paths), paths,
        [] { return BrimwellSettings(); }, "bench", clock);
    engine->runInBackground = [](std::function<void()> work) { work(); };
    engine->start();
    drain();
  }
  ~Fixture() {
    engine->stop();
    drain();
    engine.reset();
    std::filesystem::remove_all(dir);
  }
  void drain() {
    do {
      context.restart();
    } while (context.poll() > 0);
  }

  asio::io_context context;
  std::filesystem::path dir;
  BrimwellPaths paths;
  std::shared_ptr<StillClock> clock = std::make_shared<StillClock>();
  std::shared_ptr<Battery> battery;
  std::shared_ptr<BrimwellEngine> engine;
};

void BM_HandleReading(benchmark::State& state) {
  Fixture fixture;
  BatteryReading reading{.percent = 50, .powerSource = PowerSource::battery, .minutesToEmpty = 180};
  fixture.battery->deliver(reading);  // first reading: the source changes once
  fixture.drain();
  for (auto _ : state) {
    fixture.clock->tick();
    reading.timestamp = fixture.clock->now();
    fixture.battery->deliver(reading);
  }
  state.SetLabel("reading at 50 % on battery, no phase change");
}
BENCHMARK(BM_HandleReading)->Unit(benchmark::kMicrosecond);

void BM_CaptureCycle(benchmark::State& state) {
  Fixture fixture;
  for (auto _ : state) {
    fixture.clock->tick();
    fixture.engine->captureNow([](std::optional<SnapshotSummary>) {});
    fixture.drain();
  }
  state.SetLabel("instant capturer, store + prune + journal on /dev/shm");
}
BENCHMARK(BM_CaptureCycle)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
