// The whole capture of a desktop with 30 windows (apps, windows, frames, terminals and their
// shells, tmux, the clipboard): xterms on a private Xvfb + openbox display, and foot windows on
// a private headless sway. Goal: under 200 ms on each.
#include <benchmark/benchmark.h>

#include <asio/io_context.hpp>
#include <chrono>
#include <cstdio>

#include "bench/capture_loop.h"
#include "brimwell/core/engine/manual_clock.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/capture/sway_ipc.h"
#include "linux/capture/wayland_clipboard.h"
#include "linux/capture/x11_clipboard_source.h"
#include "linux/capture/xcb_window_source.h"
#include "tests/support/sway_session.h"
#include "tests/support/x_session.h"

namespace {

using namespace brimwell;

using bench::captureRepeatedly;

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
  captureRepeatedly(state, std::move(sources));
}
BENCHMARK(wholeCaptureOfThirtyWindows)->Unit(benchmark::kMillisecond)->Iterations(20);

void wholeCaptureOfThirtySwayWindows(benchmark::State& state) {
  testing::SwaySession sway("for_window [app_id=\"foot\"] floating enable");
  if (!sway.ready()) {
    state.SkipWithError(sway.error().c_str());
    return;
  }
  for (int i = 0; i < 30; ++i)
    sway.launch({"foot", "-T", "bench " + std::to_string(i), "sleep", "600"});
  sway.launch({"wl-copy", "--foreground", "bench clipboard"});
  const SwayIpc ipc(sway.swaySocket());
  if (!testing::SwaySession::waitUntil(
          [&] {
            const auto layout = ipc.layout();
            return layout && layout->windows.size() == 30;
          },
          30)) {
    state.SkipWithError("the foot windows didn't all appear");
    return;
  }
  LinuxCaptureSources sources;
  sources.windows = std::make_unique<SwayWindowSource>(ipc);
  sources.processes = std::make_unique<ProcProcessTable>();
  sources.desktopFiles = std::make_unique<FileDesktopCatalog>(FileDesktopCatalog::forEnvironment());
  sources.tmux = std::make_unique<TmuxCommandSource>();
  sources.clipboard = std::make_unique<WaylandClipboardSource>(sway.waylandDisplay());
  captureRepeatedly(state, std::move(sources));
}
BENCHMARK(wholeCaptureOfThirtySwayWindows)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();
