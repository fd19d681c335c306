#include "linux/save/gnome_save_keyboard.h"

#include <chrono>
#include <thread>

namespace brimwell {

Result<std::vector<ClientWindow>> GnomeSaveKeyboard::windows() {
  auto desktop = shell_.windows();
  if (!desktop) return Unexpected(desktop.error());
  std::vector<ClientWindow> windows;
  for (const auto& w : desktop->windows) {
    windows.push_back(
        {.id = w.id, .pid = w.pid, .appInstance = w.appInstance, .appClass = w.appClass});
  }
  return windows;
}

std::optional<WindowId> GnomeSaveKeyboard::activeWindow() {
  auto desktop = shell_.windows();
  return desktop ? desktop->active : std::nullopt;
}

Status GnomeSaveKeyboard::activate(const WindowId& window) {
  if (auto asked = shell_.activate(window); !asked) return asked;
  // A window the Shell has only just shown may not take the focus at the first request.
  if (waitUntilActive(*this, window, activationTimeout_, [&] { (void)shell_.activate(window); })) {
    return {};
  }
  return fail("GNOME Shell didn't bring the window to the front.");
}

}  // namespace brimwell
