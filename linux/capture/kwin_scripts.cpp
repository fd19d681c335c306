#include "linux/capture/kwin_scripts.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace brimwell {
namespace {

// A JavaScript string literal holding `value`: JSON's, ASCII only, invalid UTF-8 replaced.
std::string literal(const std::string& value) {
  return nlohmann::json(value).dump(-1, ' ', true, nlohmann::json::error_handler_t::replace);
}

// The call that ends every script: Report(token, answer), `answer` a JavaScript expression.
std::string answer(const KwinReplyAddress& reply, const std::string& expression) {
  return "callDBus(" + literal(reply.busName) + ", " + literal(reply.path) + ", " +
         literal(reply.interface) + ", " + literal(reply.method) + ", " + literal(reply.token) +
         ", JSON.stringify(" + expression + "));\n";
}

// Frames beyond this are no screen's.
constexpr double kMaxCoordinate = 1e6;

std::optional<long long> pixel(double value, double least) {
  if (!std::isfinite(value) || value < least || std::abs(value) > kMaxCoordinate) {
    return std::nullopt;
  }
  return std::llround(value);
}

}  // namespace

std::string kwinWindowListScript(const KwinReplyAddress& reply) {
  return "(function () {\n"
         "  var list = workspace.clientList();\n"
         "  var windows = [];\n"
         "  for (var i = 0; i < list.length; ++i) {\n"
         "    var w = list[i];\n"
         "    var g = w.frameGeometry;\n"
         "    windows.push({id: String(w.internalId), pid: w.pid,\n"
         "      resourceName: String(w.resourceName), resourceClass: String(w.resourceClass),\n"
         "      desktopFileName: String(w.desktopFileName), caption: String(w.caption),\n"
         "      x: g.x, y: g.y, width: g.width, height: g.height,\n"
         "      minimized: !!w.minimized, fullScreen: !!w.fullScreen, desktop: w.desktop,\n"
         "      onAllDesktops: !!w.onAllDesktops, stackingOrder: w.stackingOrder,\n"
         "      normal: !!w.normalWindow});\n"
         "  }\n"
         "  var desktops = [];\n"
         "  for (var d = 1; d <= workspace.desktops; ++d) {\n"
         "    desktops.push(String(workspace.desktopName(d)));\n"
         "  }\n"
         "  var active = workspace.activeClient;\n"
         "  " +
         answer(reply,
                "{windows: windows, desktops: desktops, "
                "active: active ? String(active.internalId) : null}") +
         "})();\n";
}

Result<std::string> kwinPlacementScript(const KwinPlacement& placement,
                                        const KwinReplyAddress& reply) {
  if (placement.id.empty()) return fail("The window to place has no id.");
  std::string body;
  if (placement.frame) {
    const auto x = pixel(placement.frame->x, -kMaxCoordinate);
    const auto y = pixel(placement.frame->y, -kMaxCoordinate);
    const auto width = pixel(placement.frame->width, 1);
    const auto height = pixel(placement.frame->height, 1);
    if (!x || !y || !width || !height) return fail("The window's frame is not one a screen has.");
    // A full-screen window keeps its full-screen frame; its state comes back afterwards.
    body += "    if (w.fullScreen) w.fullScreen = false;\n";
    body += "    w.frameGeometry = {x: " + std::to_string(*x) + ", y: " + std::to_string(*y) +
            ", width: " + std::to_string(*width) + ", height: " + std::to_string(*height) + "};\n";
  }
  if (placement.fullScreen) {
    body += std::string("    w.fullScreen = ") + (*placement.fullScreen ? "true" : "false") + ";\n";
  }
  if (placement.minimized) {
    body += std::string("    w.minimized = ") + (*placement.minimized ? "true" : "false") + ";\n";
  }
  if (placement.activate && placement.minimized != true) {
    body += "    workspace.activeClient = w;\n";
  }
  return "(function () {\n"
         "  var id = " +
         literal(placement.id) +
         ";\n"
         "  var list = workspace.clientList();\n"
         "  var w = null;\n"
         "  for (var i = 0; i < list.length; ++i) {\n"
         "    if (String(list[i].internalId) === id) w = list[i];\n"
         "  }\n"
         "  var result = " +
         literal(kKwinMissing) +
         ";\n"
         "  if (w) {\n" +
         body + "    result = " + literal(kKwinPlaced) +
         ";\n"
         "  }\n"
         "  " +
         answer(reply, "{result: result}") + "})();\n";
}

}  // namespace brimwell
