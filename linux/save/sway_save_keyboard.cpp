#include "linux/save/sway_save_keyboard.h"

#include <chrono>
#include <thread>

#include "linux/capture/wayland_keyboard.h"

namespace brimwell {

Result<std::vector<ClientWindow>> SwaySaveKeyboard::windows() {
  auto layout = ipc_.layout();
  if (!layout) return Unexpected(layout.error());
  std::vector<ClientWindow> windows;
  for (const auto& [w, floating] : layout->windows) {
    windows.push_back(
        {.id = w.id, .pid = w.pid, .appInstance = w.appInstance, .appClass = w.appClass});
  }
  return windows;
}

std::optional<WindowId> SwaySaveKeyboard::activeWindow() {
  auto layout = ipc_.layout();
  return layout ? layout->focused : std::nullopt;
}

Status SwaySaveKeyboard::activate(const WindowId& window) {
  if (auto focused = ipc_.run(window, "focus"); !focused) return focused;
  if (waitUntilActive(*this, window, activationTimeout_)) return {};
  return fail("sway didn't bring the window to the front.");
}

Status SwaySaveKeyboard::pressControlS() {
  return pressControlSOnWayland(waylandDisplay_, keyTimeout_);
}

}  // namespace brimwell
