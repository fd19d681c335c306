// The capture of a KWin desktop with 30 kitty windows on a private headless KWin: the window
// listing alone (one script run through KWin's scripting interface), and the whole capture
// (apps, windows, frames, terminals, the clipboard). Goal: the whole capture under 200 ms.
#include <benchmark/benchmark.h>

#include <asio/io_context.hpp>
#include <chrono>

#include "bench/capture_loop.h"
#include "brimwell/core/engine/manual_clock.h"
#include "linux/capture/kwin_window_source.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "tests/support/kwin_session.h"
#include "tests/support/scoped_environment.h"

namespace {

using namespace brimwell;

constexpr std::size_t kWindows = 30;

// A session with 30 windows of one kitty (kitty opens each further window in its first process).
struct ThirtyWindows {
  testing::KwinSession kwin;
  testing::ScopedEnvironment environment;
  std::string error;

  ThirtyWindows() {
    if (!kwin.ready()) {
      error = kwin.error();
      return;
    }
    environment.setAll(kwin.environment());
    for (std::size_t i = 0; i < kWindows; ++i) {
      kwin.launch({"kitty", "-1", "-o", "linux_display_server=wayland", "-T",
                   "w" + std::to_string(i), "sleep", "600"});
    }
    kwin.launch({"wl-copy", "--foreground", "bench clipboard"});
    if (!testing::KwinSession::waitUntil(
            [] {
              const auto desktop = KwinWindowSource().desktop();
              return desktop && desktop->windows.size() == kWindows;
            },
            60)) {
      error = "kitty (package kitty) didn't show 30 windows on KWin";
    }
  }
};

ThirtyWindows& session() {
  static ThirtyWindows windows;
  return windows;
}

void kwinWindowListOfThirtyWindows(benchmark::State& state) {
  if (!session().error.empty()) return state.SkipWithError(session().error.c_str());
  KwinWindowSource source;
  std::size_t windows = 0;
  for (auto _ : state) {
    const auto desktop = source.desktop();
    if (!desktop) return state.SkipWithError(desktop.error().message().c_str());
    windows = desktop->windows.size();
    benchmark::DoNotOptimize(desktop);
  }
  state.counters["windows"] = double(windows);
}
BENCHMARK(kwinWindowListOfThirtyWindows)->Unit(benchmark::kMillisecond)->Iterations(20);

void kwinWholeCaptureOfThirtyWindows(benchmark::State& state) {
  if (!session().error.empty()) return state.SkipWithError(session().error.c_str());
  bench::captureRepeatedly(state, LinuxCaptureSources::forSession());
}
BENCHMARK(kwinWholeCaptureOfThirtyWindows)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
