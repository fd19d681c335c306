// What the desktop round-trip tests share: the capture they compare with (the session's own
// sources, on a fixed machine), entering a test session's environment, and looking at its windows
// and at what a capture found.
#pragma once

#include <signal.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <chrono>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "brimwell/core/engine/manual_clock.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/capture/xcb_window_source.h"
#include "linux/restore/linux_restore_executor.h"
#include "linux/restore/session_window_control.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace brimwell::testing {

class FixedMachine final : public SystemInfoProviding {
 public:
  std::string bootSessionUUID() override { return "boot-1"; }
  std::string hostModel() override { return "TestBook1,1"; }
};

inline Snapshot captureNow(bool includeClipboard = true) {
  asio::io_context context;
  ManualClock clock(context, std::chrono::system_clock::now());
  FixedMachine machine;
  LinuxWorkspaceCapturer capturer(LinuxCaptureSources::forSession(), clock, machine);
  return capturer.captureNow(CaptureTrigger::manual, std::nullopt, {}, includeClipboard);
}

// The restore executor on the session's own desktop, with the real programs and process table
// and no installed applications.
inline LinuxRestoreExecutor sessionExecutor(LinuxRestoreOptions options) {
  return LinuxRestoreExecutor(
      {std::make_unique<PosixPrograms>(), windowControlForSession(),
       std::make_unique<XdgAppDirectory>(std::vector<std::filesystem::path>{}),
       std::make_unique<ProcProcessTable>()},
      std::move(options));
}

// The record of the terminal `kind` in `snapshot`; an empty one when there is none.
inline const TerminalRecord& terminal(const Snapshot& snapshot, TerminalKind kind) {
  static const TerminalRecord none;
  for (const auto& record : snapshot.terminals) {
    if (record.app == kind) return record;
  }
  return none;
}

// The directories of every tab of `record`, "?" for a tab without one.
inline std::multiset<std::string> directories(const TerminalRecord& record) {
  std::multiset<std::string> found;
  for (const auto& window : record.windows) {
    for (const auto& tab : window.tabs) found.insert(tab.directory.value_or("?"));
  }
  return found;
}

// Each window's tabs of the terminal `kind` in `snapshot`, a tab as `text` gives it (else its
// directory, "?" without one), in a set so the windows' order doesn't count.
inline std::multiset<std::vector<std::string>> windowTabs(
    const Snapshot& snapshot, TerminalKind kind,
    const std::function<std::string(const TerminalTabRecord&)>& text = {}) {
  std::multiset<std::vector<std::string>> found;
  for (const auto& window : terminal(snapshot, kind).windows) {
    std::vector<std::string> tabs;
    for (const auto& tab : window.tabs) {
      tabs.push_back(text ? text(tab) : tab.directory.value_or("?"));
    }
    found.insert(tabs);
  }
  return found;
}

// The windows of class `appClass` on the X display `display`.
inline std::vector<DesktopWindow> windowsOfClass(const std::string& display,
                                                 const std::string& appClass) {
  std::vector<DesktopWindow> found;
  if (auto desktop = XcbWindowSource(display).desktop()) {
    for (const auto& window : desktop->windows) {
      if (window.appClass == appClass) found.push_back(window);
    }
  }
  return found;
}

// Ends, as it goes, the process of every window of class `appClass` on `display`: the programs a
// restore started are detached, so no test session ends them.
struct EndsWindowsOfClass {
  std::string display;
  std::string appClass;
  ~EndsWindowsOfClass() {
    for (const auto& window : windowsOfClass(display, appClass)) {
      if (window.pid) ::kill(*window.pid, SIGTERM);
    }
  }
};

// Each window's tabs (one text per tab) as a test message shows them: "[ a b ] [ c ] ".
inline std::string showWindows(const std::multiset<std::vector<std::string>>& windows) {
  std::string text;
  for (const auto& tabs : windows) {
    text += "[";
    for (const auto& tab : tabs) text += " " + tab;
    text += " ] ";
  }
  return text;
}

// The tool and every client it starts see the session `settings` describe (NAME=value, or NAME
// for a variable to clear), with `home` as HOME and tmux's directory, and nothing of the runner's.
inline void enterSession(const std::vector<std::string>& settings, ScopedEnvironment& environment,
                         const TempDir& home) {
  environment.setAll(settings);
  environment.set("HOME", home.path().string());
  environment.set("TMUX_TMPDIR", home.path().string());
}

// The windows `source` lists now, by title.
inline std::map<std::string, DesktopWindow> windowsByTitle(WindowSource&& source) {
  std::map<std::string, DesktopWindow> found;
  if (const auto desktop = source.desktop()) {
    for (const auto& w : desktop->windows) found[w.title] = w;
  }
  return found;
}

inline bool showsTitles(const std::map<std::string, DesktopWindow>& now,
                        const std::vector<std::string>& titles) {
  return std::all_of(titles.begin(), titles.end(), [&](const auto& t) { return now.contains(t); });
}

inline const AppRecord* appWithWindow(const Snapshot& snapshot, const std::string& title) {
  for (const auto& app : snapshot.apps) {
    for (const auto& window : app.windows) {
      if (window.title == title) return &app;
    }
  }
  return nullptr;
}

// What a capture found, for a failure's message.
inline std::string seen(const Snapshot& snapshot) {
  std::string text;
  for (const auto& app : snapshot.apps) {
    text += app.name + " (" + std::to_string(app.windows.size()) + " windows) ";
  }
  text += snapshot.clipboard ? std::to_string(snapshot.clipboard->items.size()) + " clipboard items"
                             : "no clipboard";
  return text;
}

}  // namespace brimwell::testing
