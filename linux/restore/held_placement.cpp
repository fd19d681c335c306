#include "linux/restore/held_placement.h"

#include <chrono>
#include <cmath>
#include <thread>

namespace brimwell {
namespace {

bool holds(const Result<Desktop>& desktop, const WindowId& id, const Rect& frame) {
  if (!desktop) return false;
  for (const auto& w : desktop->windows) {
    if (w.id == id && w.frame) {
      const Rect& now = *w.frame;
      return std::lround(now.x) == std::lround(frame.x) &&
             std::lround(now.y) == std::lround(frame.y) &&
             std::lround(now.width) == std::lround(frame.width) &&
             std::lround(now.height) == std::lround(frame.height);
    }
  }
  return false;
}

}  // namespace

Status placeUntilHeld(const std::function<Status()>& place,
                      const std::function<Result<Desktop>()>& desktop, const WindowId& id,
                      const Rect& frame) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (auto placed = place(); !placed) return placed;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < deadline) {
      if (holds(desktop(), id, frame)) return {};
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }
  return {};
}

}  // namespace brimwell
