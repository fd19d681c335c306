// The capture of a GNOME desktop with 30 foot windows on a private headless GNOME Shell with
// Brimwell's extension: the window listing alone (one call to the extension), and the whole
// capture (apps, windows, frames, terminals, the clipboard). Goal: the whole capture under 200 ms.
#include <benchmark/benchmark.h>

#include <asio/io_context.hpp>
#include <chrono>

#include "bench/capture_loop.h"
#include "brimwell/core/engine/manual_clock.h"
#include "linux/capture/gnome_shell.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "tests/support/gnome_session.h"
#include "tests/support/scoped_environment.h"

namespace {

using namespace brimwell;

constexpr std::size_t kWindows = 30;

// A session with 30 foot windows and a clipboard the Shell holds.
struct ThirtyWindows {
  testing::GnomeSession gnome;
  testing::ScopedEnvironment environment;
  std::string error;

  ThirtyWindows() {
    if (!gnome.ready()) {
      error = gnome.error();
      return;
    }
    environment.setAll(gnome.environment());
    for (std::size_t i = 0; i < kWindows; ++i) {
      gnome.launch({"foot", "-T", "w" + std::to_string(i), "sleep", "600"});
    }
    if (!GnomeShell().setClipboard("text/plain", {'b', 'e', 'n', 'c', 'h'})) {
      error = "the Shell didn't take the clipboard";
      return;
    }
    if (!testing::GnomeSession::waitUntil(
            [] {
              const auto desktop = GnomeShell().windows();
              return desktop && desktop->windows.size() == kWindows;
            },
            60)) {
      error = "foot (package foot) didn't show 30 windows on GNOME Shell";
    }
  }
};

ThirtyWindows& session() {
  static ThirtyWindows windows;
  return windows;
}

void gnomeWindowListOfThirtyWindows(benchmark::State& state) {
  if (!session().error.empty()) return state.SkipWithError(session().error.c_str());
  GnomeWindowSource source;
  std::size_t windows = 0;
  for (auto _ : state) {
    const auto desktop = source.desktop();
    if (!desktop) return state.SkipWithError(desktop.error().message().c_str());
    windows = desktop->windows.size();
    benchmark::DoNotOptimize(desktop);
  }
  state.counters["windows"] = double(windows);
}
BENCHMARK(gnomeWindowListOfThirtyWindows)->Unit(benchmark::kMillisecond)->Iterations(20);

void gnomeWholeCaptureOfThirtyWindows(benchmark::State& state) {
  if (!session().error.empty()) return state.SkipWithError(session().error.c_str());
  bench::captureRepeatedly(state, LinuxCaptureSources::forSession());
}
BENCHMARK(gnomeWholeCaptureOfThirtyWindows)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
