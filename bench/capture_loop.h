// The capture benchmarks' loop: whole captures from the sources given, on a fixed machine,
// counting the windows the last one found.
#pragma once

#include <benchmark/benchmark.h>

#include <asio/io_context.hpp>
#include <chrono>

#include "brimwell/core/engine/manual_clock.h"
#include "linux/capture/linux_workspace_capturer.h"

namespace brimwell::bench {

class BenchMachine final : public SystemInfoProviding {
 public:
  std::string bootSessionUUID() override { return "boot"; }
  std::string hostModel() override { return "Bench"; }
};

inline void captureRepeatedly(benchmark::State& state, LinuxCaptureSources sources) {
  asio::io_context context;
  ManualClock clock(context, std::chrono::system_clock::now());
  BenchMachine machine;
  LinuxWorkspaceCapturer capturer(std::move(sources), clock, machine);
  std::size_t windows = 0;
  for (auto _ : state) {
    const Snapshot snapshot = capturer.captureNow(CaptureTrigger::manual, std::nullopt, {}, true);
    windows = 0;
    for (const auto& app : snapshot.apps) windows += app.windows.size();
    benchmark::DoNotOptimize(snapshot);
  }
  state.counters["windows"] = double(windows);
}

}  // namespace brimwell::bench
