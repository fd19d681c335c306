#include "linux/save/kwin_save_keyboard.h"

#include <chrono>
#include <thread>

#include "linux/capture/kwin_window_source.h"
#include "linux/capture/wayland_keyboard.h"

namespace brimwell {

Result<std::vector<ClientWindow>> KwinSaveKeyboard::windows() {
  auto desktop = KwinWindowSource(scripting_).desktop();
  if (!desktop) return Unexpected(desktop.error());
  std::vector<ClientWindow> windows;
  for (const auto& w : desktop->windows) {
    windows.push_back(
        {.id = w.id, .pid = w.pid, .appInstance = w.appInstance, .appClass = w.appClass});
  }
  return windows;
}

std::optional<WindowId> KwinSaveKeyboard::activeWindow() {
  auto desktop = KwinWindowSource(scripting_).desktop();
  return desktop ? desktop->active : std::nullopt;
}

Status KwinSaveKeyboard::activate(const WindowId& window) {
  if (auto placed =
          placeKwinWindow(scripting_, {.id = window, .minimized = false, .activate = true});
      !placed) {
    return placed;
  }
  if (waitUntilActive(*this, window, activationTimeout_)) return {};
  return fail("KWin didn't bring the window to the front.");
}

Status KwinSaveKeyboard::pressControlS() {
  return pressControlSOnWayland(waylandDisplay_, keyTimeout_);
}

}  // namespace brimwell
