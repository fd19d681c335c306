// RestoreStep: one thing a restore executor does, with everything it needs to do it; cases in the
// order launchApp, openDocuments, openBrowserWindow, openFinderWindow, openTerminalWindow,
// placeWindows, restoreClipboard. Plain value, compared case and payload; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "brimwell/core/snapshots/clipboard_record.h"
#include "brimwell/core/snapshots/workspace_records.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

class RestoreStep {
 public:
  // Start this application.
  struct LaunchApp {
    AppRecord app;
    friend bool operator==(const LaunchApp&, const LaunchApp&) = default;
  };
  // Open these files with this application; `appPath` is empty when only the bundle identifier
  // is known.
  struct OpenDocuments {
    std::string appPath;
    std::optional<std::string> appBundleID;
    std::vector<std::string> paths;
    friend bool operator==(const OpenDocuments&, const OpenDocuments&) = default;
  };
  struct OpenBrowserWindow {
    BrowserKind browser = BrowserKind::safari;
    BrowserWindowRecord window;
    friend bool operator==(const OpenBrowserWindow&, const OpenBrowserWindow&) = default;
  };
  struct OpenFinderWindow {
    FinderWindowRecord window;
    friend bool operator==(const OpenFinderWindow&, const OpenFinderWindow&) = default;
  };
  struct OpenTerminalWindow {
    TerminalKind app = TerminalKind::terminal;
    TerminalWindowRecord window;
    friend bool operator==(const OpenTerminalWindow&, const OpenTerminalWindow&) = default;
  };
  // Move the application's windows to their recorded frames; `app.windows` holds only those.
  struct PlaceWindows {
    AppRecord app;
    friend bool operator==(const PlaceWindows&, const PlaceWindows&) = default;
  };
  struct RestoreClipboard {
    ClipboardRecord clipboard;
    friend bool operator==(const RestoreClipboard&, const RestoreClipboard&) = default;
  };
  using Case = std::variant<LaunchApp, OpenDocuments, OpenBrowserWindow, OpenFinderWindow,
                            OpenTerminalWindow, PlaceWindows, RestoreClipboard>;

  RestoreStep(Case value) : value_(std::move(value)) {}

  static RestoreStep launchApp(AppRecord app) { return Case(LaunchApp{std::move(app)}); }
  static RestoreStep openDocuments(std::string appPath, std::optional<std::string> appBundleID,
                                   std::vector<std::string> paths) {
    return Case(OpenDocuments{std::move(appPath), std::move(appBundleID), std::move(paths)});
  }
  static RestoreStep openBrowserWindow(BrowserKind browser, BrowserWindowRecord window) {
    return Case(OpenBrowserWindow{browser, std::move(window)});
  }
  static RestoreStep openFinderWindow(FinderWindowRecord window) {
    return Case(OpenFinderWindow{std::move(window)});
  }
  static RestoreStep openTerminalWindow(TerminalKind app, TerminalWindowRecord window) {
    return Case(OpenTerminalWindow{app, std::move(window)});
  }
  static RestoreStep placeWindows(AppRecord app) { return Case(PlaceWindows{std::move(app)}); }
  static RestoreStep restoreClipboard(ClipboardRecord clipboard) {
    return Case(RestoreClipboard{std::move(clipboard)});
  }

  const Case& value() const { return value_; }
  template <class T>
  const T* as() const {
    return std::get_if<T>(&value_);
  }

  // The case's name, such as "openDocuments".
  std::string_view name() const;

  friend bool operator==(const RestoreStep&, const RestoreStep&) = default;

 private:
  Case value_;
};

// An object with "step" = the case name and the payload beside it: "app" (launchApp,
// placeWindows; the terminal kind's raw value for openTerminalWindow), "appPath", "appBundleID"
// and "paths" (openDocuments), "browser" and "window" (openBrowserWindow), "window" (the Finder
// and terminal windows), "clipboard" (restoreClipboard). Encoding only.
template <>
struct JsonCoding<RestoreStep> {
  static Json write(const RestoreStep& value);
};

}  // namespace brimwell
