#include "linux/capture/kwin_report.h"

#include "linux/capture/json_fields.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

namespace brimwell {
namespace {

using Json = nlohmann::json;

// More windows than any desktop shows; a longer list is not a desktop's.
constexpr std::size_t kMaxWindows = 4096;
constexpr std::size_t kMaxText = 4096;

std::string shortText(const Json& node, const char* key) {
  return json_fields::text(node, key, kMaxText);
}

using json_fields::flag;

// The name of virtual desktop `number` (counted from 1), empty when it has none or the window is
// on every desktop.
std::string workspaceOf(const Json& node, const std::vector<std::string>& names) {
  const auto found = node.find("desktop");
  if (found == node.end() || !found->is_number_integer() || flag(node, "onAllDesktops")) return {};
  const auto number = found->get<std::int64_t>();
  if (number < 1 || number > static_cast<std::int64_t>(names.size())) return {};
  return names[static_cast<std::size_t>(number - 1)];
}

}  // namespace

Result<Desktop> parseKwinReport(std::string_view report) {
  const Json root = Json::parse(report.begin(), report.end(), nullptr, false);
  if (root.is_discarded() || !root.is_object()) return fail("KWin's window report is not JSON.");
  const auto list = root.find("windows");
  if (list == root.end() || !list->is_array()) {
    return fail("KWin's window report has no list of windows.");
  }
  if (list->size() > kMaxWindows) return fail("KWin's window report lists too many windows.");
  std::vector<std::string> names;
  if (const auto desktops = root.find("desktops"); desktops != root.end() && desktops->is_array()) {
    for (const auto& name : *desktops) {
      if (names.size() == kMaxWindows) break;
      names.push_back(name.is_string() ? name.get<std::string>().substr(0, kMaxText) : "");
    }
  }
  struct Stacked {
    DesktopWindow window;
    double order;
    std::size_t position;
  };
  std::vector<Stacked> stacked;
  std::set<WindowId> seen;
  for (const auto& node : *list) {
    if (!node.is_object() || !flag(node, "normal")) continue;
    DesktopWindow window;
    window.id = shortText(node, "id");
    if (window.id.empty() || !seen.insert(window.id).second) continue;
    window.pid = json_fields::pid(node);
    window.appInstance = shortText(node, "resourceName");
    window.appClass = shortText(node, "resourceClass");
    if (window.appClass.empty()) window.appClass = shortText(node, "desktopFileName");
    if (window.appInstance.empty()) window.appInstance = window.appClass;
    window.title = shortText(node, "caption");
    window.frame = json_fields::area(node);
    window.hidden = flag(node, "minimized");
    window.fullScreen = flag(node, "fullScreen");
    window.workspace = workspaceOf(node, names);
    const auto order = json_fields::coordinate(node, "stackingOrder");
    stacked.push_back({std::move(window), order.value_or(-1), stacked.size()});
  }
  // KWin counts its stacking order from the bottom; the desktop model lists the front first.
  std::stable_sort(stacked.begin(), stacked.end(), [](const Stacked& a, const Stacked& b) {
    return a.order != b.order ? a.order > b.order : a.position > b.position;
  });
  Desktop desktop;
  for (auto& entry : stacked) desktop.windows.push_back(std::move(entry.window));
  const std::string active = shortText(root, "active");
  if (seen.count(active) != 0) desktop.active = active;
  return desktop;
}

}  // namespace brimwell
