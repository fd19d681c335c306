#include "linux/capture/sway_tree.h"

#include "linux/capture/json_fields.h"

#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>

namespace brimwell {
namespace {

using Json = nlohmann::json;

using json_fields::integer;
using json_fields::text;

std::optional<Rect> rectOf(const Json& node, const char* key) {
  const auto found = node.find(key);
  return found != node.end() ? json_fields::rect(*found) : std::nullopt;
}

// The window's frame with its title bar: sway gives the client's container and, apart, the
// decoration above it.
std::optional<Rect> frameWithTitleBar(const Json& node) {
  auto frame = rectOf(node, "rect");
  if (!frame) return std::nullopt;
  if (const auto decoration = rectOf(node, "deco_rect"); decoration && decoration->height > 0) {
    frame->y -= decoration->height;
    frame->height += decoration->height;
  }
  if (frame->width <= 0 || frame->height <= 0) return std::nullopt;
  return frame;
}

// A child list of `node`, each child an object.
std::vector<const Json*> children(const Json& node, const char* key) {
  std::vector<const Json*> found;
  const auto list = node.find(key);
  if (list == node.end() || !list->is_array()) return found;
  for (const auto& child : *list) {
    if (child.is_object()) found.push_back(&child);
  }
  return found;
}

// `nodes` in the order `node`'s focus list gives (most recently focused first), the ones it
// doesn't name after them in their own order.
std::vector<const Json*> inFocusOrder(const Json& node, std::vector<const Json*> nodes) {
  std::vector<const Json*> ordered;
  const auto focus = node.find("focus");
  if (focus != node.end() && focus->is_array()) {
    for (const auto& id : *focus) {
      if (!id.is_number_integer()) continue;
      for (auto& child : nodes) {
        if (child != nullptr && integer(*child, "id") == id.get<std::int64_t>()) {
          ordered.push_back(child);
          child = nullptr;
        }
      }
    }
  }
  for (const Json* child : nodes) {
    if (child != nullptr) ordered.push_back(child);
  }
  return ordered;
}

// A container that shows a client: Wayland ones carry an app id, XWayland ones X11 properties.
bool isClientWindow(const Json& node) {
  const std::string type = text(node, "type");
  if (type != "con" && type != "floating_con") return false;
  const auto app = node.find("app_id");
  const auto x11 = node.find("window_properties");
  return (app != node.end() && app->is_string()) || (x11 != node.end() && x11->is_object());
}

SwayWindow windowOf(const Json& node, const std::string& workspace) {
  SwayWindow found;
  DesktopWindow& w = found.window;
  w.id = std::to_string(*integer(node, "id"));
  w.pid = json_fields::pid(node);
  if (const auto x11 = node.find("window_properties"); x11 != node.end() && x11->is_object()) {
    w.appInstance = text(*x11, "instance");
    w.appClass = text(*x11, "class");
  } else {
    w.appInstance = w.appClass = text(node, "app_id");
  }
  w.title = text(node, "name");
  w.frame = frameWithTitleBar(node);
  const auto fullScreen = integer(node, "fullscreen_mode");
  w.fullScreen = fullScreen && *fullScreen != 0;
  w.hidden = workspace == kSwayScratchpad;
  w.workspace = w.hidden ? std::string() : workspace;
  found.floating = text(node, "type") == "floating_con";
  return found;
}

}  // namespace

Result<SwayLayout> parseSwayTree(std::string_view tree) {
  const Json root = Json::parse(tree, nullptr, false);
  if (root.is_discarded() || !root.is_object() || text(root, "type") != "root") {
    return fail("The window manager's layout tree isn't readable.");
  }
  SwayLayout layout;
  std::vector<SwayWindow> scratchpad;
  std::set<std::int64_t> seen;
  // Depth first without recursion, children in focus order; a workspace's floating windows
  // stand above its tiled ones.
  std::vector<std::pair<const Json*, std::string>> pending{{&root, std::string()}};
  while (!pending.empty()) {
    auto [node, workspace] = std::move(pending.back());
    pending.pop_back();
    const auto id = integer(*node, "id");
    if (!id || !seen.insert(*id).second) continue;
    if (text(*node, "type") == "workspace") workspace = text(*node, "name");
    if (isClientWindow(*node)) {
      SwayWindow window = windowOf(*node, workspace);
      const auto focused = node->find("focused");
      if (focused != node->end() && focused->is_boolean() && focused->get<bool>()) {
        layout.focused = window.window.id;
      }
      (window.window.hidden ? scratchpad : layout.windows).push_back(std::move(window));
    }
    std::vector<const Json*> next = inFocusOrder(*node, children(*node, "floating_nodes"));
    for (const Json* tiled : inFocusOrder(*node, children(*node, "nodes"))) next.push_back(tiled);
    for (auto it = next.rbegin(); it != next.rend(); ++it) pending.emplace_back(*it, workspace);
  }
  for (auto& window : scratchpad) layout.windows.push_back(std::move(window));
  return layout;
}

Desktop desktopOf(const SwayLayout& layout) {
  Desktop desktop;
  desktop.windows.reserve(layout.windows.size());
  for (const auto& w : layout.windows) desktop.windows.push_back(w.window);
  desktop.active = layout.focused;
  return desktop;
}

}  // namespace brimwell
