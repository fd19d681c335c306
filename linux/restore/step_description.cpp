#include "linux/restore/step_description.h"

#include <filesystem>
#include <type_traits>

namespace brimwell {
namespace {

std::string count(std::size_t n, const std::string& one, const std::string& many) {
  return n == 1 ? "1 " + one : std::to_string(n) + " " + many;
}

}  // namespace

std::string appName(const AppRecord& app) {
  if (!app.name.empty()) return app.name;
  if (app.bundleID) return *app.bundleID;
  return std::filesystem::path(app.path).filename().string();
}

std::string describeStep(const RestoreStep& step) {
  return std::visit(
      [](const auto& s) -> std::string {
        using S = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<S, RestoreStep::LaunchApp>) {
          return "Launch " + appName(s.app);
        } else if constexpr (std::is_same_v<S, RestoreStep::OpenDocuments>) {
          const std::string with =
              !s.appPath.empty() ? s.appPath : s.appBundleID.value_or("their application");
          return "Open " + count(s.paths.size(), "document", "documents") + " with " + with;
        } else if constexpr (std::is_same_v<S, RestoreStep::OpenBrowserWindow>) {
          return "Open a " + std::string(toString(s.browser)) + " window with " +
                 count(s.window.tabs.size(), "tab", "tabs");
        } else if constexpr (std::is_same_v<S, RestoreStep::OpenFinderWindow>) {
          return "Open the folder " + s.window.path;
        } else if constexpr (std::is_same_v<S, RestoreStep::OpenTerminalWindow>) {
          std::string text = "Open a " + std::string(toString(s.app)) + " window";
          if (!s.window.tabs.empty() && s.window.tabs.front().directory) {
            text += " in " + *s.window.tabs.front().directory;
          }
          if (s.window.tabs.size() > 1)
            text += " with " + count(s.window.tabs.size(), "tab", "tabs");
          return text;
        } else if constexpr (std::is_same_v<S, RestoreStep::PlaceWindows>) {
          return "Place " + count(s.app.windows.size(), "window", "windows") + " of " +
                 appName(s.app);
        } else {
          return "Restore the clipboard";
        }
      },
      step.value());
}

}  // namespace brimwell
