#include "linux/capture/emulator_windows.h"

namespace brimwell {

std::map<WindowId, std::vector<TerminalTabRecord>> tabsByWindow(
    const std::vector<DesktopWindow>& windows, const std::vector<EmulatorWindow>& emulated) {
  std::map<WindowId, std::vector<TerminalTabRecord>> tabs;
  std::vector<bool> taken(emulated.size(), false);
  const auto pair = [&](const DesktopWindow& window, std::size_t i) {
    taken[i] = true;
    tabs[window.id] = emulated[i].tabs;
  };
  for (const auto& window : windows) {
    for (std::size_t i = 0; i < emulated.size(); ++i) {
      const auto& id = emulated[i].platformWindowId;
      if (!taken[i] && id && std::to_string(*id) == window.id) {
        pair(window, i);
        break;
      }
    }
  }
  const auto count = [](const auto& list, const std::string& title, const auto& open) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < list.size(); ++i) n += open(i) && list[i].title == title;
    return n;
  };
  const auto windowOpen = [&](std::size_t i) { return !tabs.contains(windows[i].id); };
  const auto osOpen = [&](std::size_t i) { return !taken[i]; };
  for (std::size_t w = 0; w < windows.size(); ++w) {
    if (!windowOpen(w) || count(windows, windows[w].title, windowOpen) != 1) continue;
    if (count(emulated, windows[w].title, osOpen) != 1) continue;
    for (std::size_t i = 0; i < emulated.size(); ++i) {
      if (osOpen(i) && emulated[i].title == windows[w].title) pair(windows[w], i);
    }
  }
  std::size_t next = 0;
  for (std::size_t w = 0; w < windows.size(); ++w) {
    if (!windowOpen(w)) continue;
    while (next < emulated.size() && taken[next]) ++next;
    if (next == emulated.size()) break;
    pair(windows[w], next);
  }
  return tabs;
}

}  // namespace brimwell
