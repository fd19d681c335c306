#include "linux/restore/window_matching.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace brimwell {

std::vector<std::optional<WindowId>> matchWindows(const std::vector<WindowRecord>& recorded,
                                                  const std::vector<DesktopWindow>& current) {
  std::vector<std::size_t> byOrder(recorded.size());
  std::iota(byOrder.begin(), byOrder.end(), 0);
  std::stable_sort(byOrder.begin(), byOrder.end(), [&](std::size_t a, std::size_t b) {
    return recorded[a].order < recorded[b].order;
  });
  std::vector<bool> claimed(current.size(), false);
  std::vector<std::optional<WindowId>> matches(recorded.size());
  for (const auto r : byOrder) {
    for (std::size_t c = 0; c < current.size(); ++c) {
      if (!claimed[c] && current[c].title == recorded[r].title) {
        claimed[c] = true;
        matches[r] = current[c].id;
        break;
      }
    }
  }
  for (const auto r : byOrder) {
    if (matches[r]) continue;
    for (std::size_t c = 0; c < current.size(); ++c) {
      if (!claimed[c]) {
        claimed[c] = true;
        matches[r] = current[c].id;
        break;
      }
    }
  }
  return matches;
}

ClientGeometry clientGeometry(const Rect& frame, const FrameExtents& extents) {
  const auto inner = [](double size, std::uint32_t decorations) {
    const double left = std::round(size) - double(decorations);
    return left < 1 ? 1u : static_cast<std::uint32_t>(left);
  };
  return {static_cast<std::int32_t>(std::lround(frame.x)),
          static_cast<std::int32_t>(std::lround(frame.y)),
          inner(frame.width, extents.left + extents.right),
          inner(frame.height, extents.top + extents.bottom)};
}

}  // namespace brimwell
