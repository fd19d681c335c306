// The whole capture of a desktop with 30 xterm windows (apps, windows, frames, terminals and their
// shells, tmux, the clipboard) on a private Xvfb + openbox display. Goal: under 200 ms.
#include <benchmark/benchmark.h>

#include <asio/io_context.hpp>
#include <chrono>
#include <cstdio>

#include "brimwell/core/engine/manual_clock.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/capture/x11_clipboard_source.h"
#include "linux/capture/xcb_window_source.h"
#include "tests/support/x_session.h"

namespace {

using namespace brimwell;

class BenchMachine final : public SystemInfoProviding {
 public:
  std::string bootSessionUUID() override { return "boot"; }
  std::string hostModel() override { return "Bench"; }
};

void wholeCaptureOfThirtyWindows(benchmark::State& state) {
  testing::XSession x;
  if (!x.ready()) {
    state.SkipWithError(x.error().c_str());
    return;
  }
  for (int i = 0; i < 30; ++i) {
    const pid_t pid = x.launch(
        {"xterm", "-geometry", "40x10+" + std::to_string(20 * i) + "+" + std::to_string(15 * i)});
    if (!x.windowOf(pid)) {
      state.SkipWithError("an xterm showed no window");
      return;
    }
  }
  x.launch({"sh", "-c", "printf 'bench clipboard' | exec xclip -quiet -selection clipboard"});
  testing::XSession::waitUntil([] { return false; }, 0.3);
  LinuxCaptureSources sources;
  sources.windows = std::make_unique<XcbWindowSource>(x.display());
  sources.processes = std::make_unique<ProcProcessTable>();
  sources.desktopFiles = std::make_unique<FileDesktopCatalog>(FileDesktopCatalog::forEnvironment());
  sources.tmux = std::make_unique<TmuxCommandSource>();
  sources.clipboard = std::make_unique<X11ClipboardSource>(x.display());
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
BENCHMARK(wholeCaptureOfThirtyWindows)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
