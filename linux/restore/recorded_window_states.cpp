#include "linux/restore/recorded_window_states.h"

#include <algorithm>

namespace brimwell {

RecordedWindowStates::RecordedWindowStates(const std::vector<AppRecord>& apps) {
  for (const auto& app : apps) {
    if (!app.bundleID) continue;
    std::vector<const WindowRecord*> windows;
    for (const auto& window : app.windows) {
      if (window.frame) windows.push_back(&window);
    }
    std::stable_sort(windows.begin(), windows.end(),
                     [](const auto* a, const auto* b) { return a->order < b->order; });
    for (const auto* window : windows) {
      entries_.push_back(
          {*app.bundleID, *window->frame, {window->isMinimized, window->isFullScreen}});
    }
  }
}

std::optional<RecordedWindowStates::State> RecordedWindowStates::take(std::string_view bundleID,
                                                                      const Rect& frame) {
  for (auto& entry : entries_) {
    if (entry.taken || entry.bundleID != bundleID || !(entry.frame == frame)) continue;
    entry.taken = true;
    return entry.state;
  }
  return std::nullopt;
}

}  // namespace brimwell
