#include "brimwell/core/restore/restore_step.h"

#include <array>

namespace brimwell {
namespace {

constexpr std::array<std::string_view, std::variant_size_v<RestoreStep::Case>> kNames = {
    "launchApp",          "openDocuments", "openBrowserWindow", "openFinderWindow",
    "openTerminalWindow", "placeWindows",  "restoreClipboard"};

struct PayloadWriter {
  JsonObjectWriter& out;
  void operator()(const RestoreStep::LaunchApp& s) const { out.put("app", s.app); }
  void operator()(const RestoreStep::OpenDocuments& s) const {
    out.put("appPath", s.appPath).put("appBundleID", s.appBundleID).put("paths", s.paths);
  }
  void operator()(const RestoreStep::OpenBrowserWindow& s) const {
    out.put("browser", s.browser).put("window", s.window);
  }
  void operator()(const RestoreStep::OpenFinderWindow& s) const { out.put("window", s.window); }
  void operator()(const RestoreStep::OpenTerminalWindow& s) const {
    out.put("app", s.app).put("window", s.window);
  }
  void operator()(const RestoreStep::PlaceWindows& s) const { out.put("app", s.app); }
  void operator()(const RestoreStep::RestoreClipboard& s) const {
    out.put("clipboard", s.clipboard);
  }
};

}  // namespace

std::string_view RestoreStep::name() const { return kNames[value_.index()]; }

Json JsonCoding<RestoreStep>::write(const RestoreStep& value) {
  JsonObjectWriter out;
  out.put("step", std::string(value.name()));
  std::visit(PayloadWriter{out}, value.value());
  return out.take();
}

}  // namespace brimwell
