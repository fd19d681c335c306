#include "linux/restore/workspace_now.h"

#include <algorithm>

namespace brimwell {

CurrentWorkspace currentWorkspaceOf(const Snapshot& now) {
  const Snapshot shown = withTerminalServers(now);
  CurrentWorkspace current;
  for (const auto& app : shown.apps) {
    if (app.bundleID) current.runningBundleIDs.insert(*app.bundleID);
    if (!app.path.empty()) current.runningAppPaths.insert(app.path);
    for (const auto& window : app.windows) {
      if (const auto url = window.fileURL())
        current.openDocumentPaths.insert(url->fileSystemPath());
    }
  }
  for (const auto& browser : shown.browsers) {
    auto& urls = current.openTabURLs[browser.browser];
    for (const auto& window : browser.windows) {
      for (const auto& tab : window.tabs) urls.insert(tab.url);
    }
  }
  for (const auto& terminal : shown.terminals) {
    for (const auto& window : terminal.windows) {
      for (const auto& tab : window.tabs) {
        if (tab.directory) current.openTerminalTabs[terminal.app].push_back(*tab.directory);
      }
    }
  }
  for (const auto& window : shown.finder) current.openFinderPaths.insert(window.path);
  current.clipboardIsEmpty = !shown.clipboard || shown.clipboard->items.empty();
  return current;
}

Snapshot withTerminalServers(Snapshot snapshot) {
  for (const auto kind : {TerminalKind::tmux, TerminalKind::foot}) {
    const std::string id(bundleID(kind));
    const bool running = std::any_of(
        snapshot.terminals.begin(), snapshot.terminals.end(), [&](const TerminalRecord& record) {
          return record.app == kind && record.status == CaptureStatus::ok;
        });
    const bool recorded = std::any_of(snapshot.apps.begin(), snapshot.apps.end(),
                                      [&](const AppRecord& app) { return app.bundleID == id; });
    if (!running || recorded) continue;
    int last = -1;
    for (const auto& app : snapshot.apps) last = std::max(last, app.order);
    snapshot.apps.push_back({.bundleID = id,
                             .path = id,
                             .name = id,
                             .order = last + 1,
                             .windowsStatus = CaptureStatus::unsupported});
  }
  return snapshot;
}

}  // namespace brimwell
