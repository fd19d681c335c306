#include "linux/capture/gnome_shell_windows.h"

#include "linux/capture/json_fields.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

namespace brimwell {
namespace {

using Json = nlohmann::json;

using json_fields::flag;
using json_fields::integer;
using json_fields::text;

std::optional<Rect> frameOf(const Json& node) {
  const auto found = node.find("frame");
  if (found == node.end() || !found->is_object()) return std::nullopt;
  return json_fields::area(*found);
}

// The app's desktop-file ID without its ".desktop", as the rest of Brimwell names applications.
std::string appOf(const Json& node) {
  std::string app = text(node, "app");
  constexpr std::string_view suffix = ".desktop";
  if (app.size() > suffix.size() && app.ends_with(suffix)) app.resize(app.size() - suffix.size());
  return app;
}

}  // namespace

std::optional<std::uint64_t> gnomeWindowNumber(const WindowId& id) {
  if (id.empty() || id.size() > 20 || id.front() == '0') return std::nullopt;
  std::uint64_t number = 0;
  const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), number);
  if (error != std::errc() || end != id.data() + id.size()) return std::nullopt;
  return number;
}

Result<Desktop> parseGnomeWindows(std::string_view reply) {
  if (reply.size() > kGnomeMaxReplyBytes) return fail("GNOME Shell's window list is too large.");
  const Json root = Json::parse(reply, nullptr, false);
  const auto list = root.is_object() ? root.find("windows") : root.end();
  if (root.is_discarded() || !root.is_object() || list == root.end() || !list->is_array()) {
    return fail("GNOME Shell's window list isn't readable.");
  }
  if (list->size() > kGnomeMaxWindows) return fail("GNOME Shell lists too many windows.");
  Desktop desktop;
  std::set<WindowId> seen;
  for (const auto& node : *list) {
    if (!node.is_object()) continue;
    DesktopWindow w;
    w.id = text(node, "id");
    if (!gnomeWindowNumber(w.id) || !seen.insert(w.id).second) continue;
    w.pid = json_fields::pid(node);
    w.appInstance = text(node, "wmClass");
    w.appClass = appOf(node);
    if (w.appClass.empty()) w.appClass = w.appInstance;
    w.title = text(node, "title");
    w.frame = frameOf(node);
    w.hidden = flag(node, "minimized");
    w.fullScreen = flag(node, "fullScreen");
    if (const auto workspace = integer(node, "workspace");
        workspace && *workspace >= 0 && *workspace < 1000) {
      w.workspace = std::to_string(*workspace + 1);
    }
    if (flag(node, "focus")) desktop.active = w.id;
    desktop.windows.push_back(std::move(w));
  }
  return desktop;
}

}  // namespace brimwell
