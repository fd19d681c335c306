#include "brimwell/core/restore/restore_planner.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace brimwell::RestorePlanner {
namespace {

// Every lookup below is a hash lookup, so the whole plan stays O(n log n) (the log from sorting
// by order).
using Lookup = std::unordered_set<std::string_view>;

Lookup lookupOf(const std::set<std::string>& values) {
  return Lookup(values.begin(), values.end());
}

// One of the selection's sets: an absent set lacks nothing, a present one lacks what it doesn't
// hold.
class Chosen {
 public:
  explicit Chosen(const RestoreSelection::Keys& keys) {
    if (keys) keys_ = lookupOf(*keys);
  }
  bool lacks(std::string_view key) const { return keys_ && !keys_->contains(key); }

 private:
  std::optional<Lookup> keys_;
};

bool isBrowserOrTerminal(const AppRecord& app) {
  return app.bundleID && (fromBundleID<BrowserKind>(*app.bundleID).has_value() ||
                          fromBundleID<TerminalKind>(*app.bundleID).has_value());
}

using Apps = std::vector<const AppRecord*>;

// Stage 1 (its ordering half): the snapshot's applications by `order`, equal orders keeping their
// snapshot order.
Apps orderedApps(const std::vector<AppRecord>& apps) {
  Apps ordered;
  ordered.reserve(apps.size());
  for (const auto& app : apps) ordered.push_back(&app);
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const AppRecord* a, const AppRecord* b) { return a->order < b->order; });
  return ordered;
}

// Stage 2.
void addLaunches(const Apps& selected, const CurrentWorkspace& current,
                 std::vector<RestoreStep>& steps) {
  const Lookup bundleIDs = lookupOf(current.runningBundleIDs);
  const Lookup paths = lookupOf(current.runningAppPaths);
  for (const AppRecord* app : selected) {
    if (app->bundleID && bundleIDs.contains(*app->bundleID)) continue;
    if (paths.contains(app->path)) continue;
    steps.push_back(RestoreStep::launchApp(*app));
  }
}

// The documents open now and those the plan opens.
class KnownDocuments {
 public:
  explicit KnownDocuments(const std::set<std::string>& openNow) : openNow_(lookupOf(openNow)) {}
  bool contains(const std::string& path) const {
    return openNow_.contains(path) || opened_.contains(path);
  }
  // Notes `path` as opened by the plan; false when it was already known.
  bool add(const std::string& path) {
    return !openNow_.contains(path) && opened_.insert(path).second;
  }

 private:
  const Lookup openNow_;
  std::unordered_set<std::string> opened_;
};

// Stage 3.
void addDocuments(const Apps& ordered, const std::vector<RescuedDocument>& rescued,
                  const Chosen& documents, KnownDocuments& seen, std::vector<RestoreStep>& steps) {
  std::vector<std::vector<std::string>> lists(ordered.size());
  const auto take = [&](const std::string& path) {
    return !documents.lacks(path) && seen.add(path);
  };

  for (std::size_t i = 0; i < ordered.size(); ++i) {
    const AppRecord& app = *ordered[i];
    if (isBrowserOrTerminal(app)) continue;
    std::vector<const WindowRecord*> windows;
    windows.reserve(app.windows.size());
    for (const auto& window : app.windows) windows.push_back(&window);
    std::stable_sort(
        windows.begin(), windows.end(),
        [](const WindowRecord* a, const WindowRecord* b) { return a->order < b->order; });
    for (const WindowRecord* window : windows) {
      const auto url = window->fileURL();
      if (!url) continue;
      std::string path = url->fileSystemPath();
      if (take(path)) lists[i].push_back(std::move(path));
    }
  }

  // Rescued copies go to the first application by order with their bundle identifier, or to one
  // group per unknown bundle identifier, in order of first appearance.
  std::unordered_map<std::string_view, std::size_t> firstApp;
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (ordered[i]->bundleID) firstApp.try_emplace(*ordered[i]->bundleID, i);
  }
  std::vector<std::pair<std::string, std::vector<std::string>>> unmatched;
  std::unordered_map<std::string_view, std::size_t> unmatchedGroup;
  for (const auto& copy : rescued) {
    if (!take(copy.path)) continue;
    if (auto app = firstApp.find(copy.appBundleID); app != firstApp.end()) {
      lists[app->second].push_back(copy.path);
      continue;
    }
    auto [group, isNew] = unmatchedGroup.try_emplace(copy.appBundleID, unmatched.size());
    if (isNew) unmatched.emplace_back(copy.appBundleID, std::vector<std::string>{});
    unmatched[group->second].second.push_back(copy.path);
  }

  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (lists[i].empty()) continue;
    steps.push_back(
        RestoreStep::openDocuments(ordered[i]->path, ordered[i]->bundleID, std::move(lists[i])));
  }
  for (auto& [bundleID, paths] : unmatched) {
    steps.push_back(RestoreStep::openDocuments("", bundleID, std::move(paths)));
  }
}

// The window's tabs that aren't open now; nothing when none is left. The active index points at
// the originally active tab when it was kept, else at the next kept one (or the last).
std::optional<BrowserWindowRecord> unopenedTabs(const BrowserWindowRecord& window,
                                                const Lookup& open) {
  BrowserWindowRecord kept{window.bounds, 0, {}};
  int beforeActive = 0;
  for (std::size_t i = 0; i < window.tabs.size(); ++i) {
    if (open.contains(window.tabs[i].url)) continue;
    if (static_cast<long long>(i) < window.activeTabIndex) ++beforeActive;
    kept.tabs.push_back(window.tabs[i]);
  }
  if (kept.tabs.empty()) return std::nullopt;
  kept.activeTabIndex = std::min(beforeActive, static_cast<int>(kept.tabs.size()) - 1);
  return kept;
}

// Stage 4. A browser whose application isn't in the snapshot gets no windows.
void addBrowserWindows(const Snapshot& snapshot, const Lookup& appBundleIDs, const Chosen& chosen,
                       const CurrentWorkspace& current, std::vector<RestoreStep>& steps) {
  std::array<std::optional<Lookup>, allCases<BrowserKind>().size()> openByBrowser;
  for (const auto& record : snapshot.browsers) {
    if (!appBundleIDs.contains(bundleID(record.browser))) continue;
    auto& open = openByBrowser[static_cast<std::size_t>(record.browser)];
    if (!open) {
      const auto found = current.openTabURLs.find(record.browser);
      open = found == current.openTabURLs.end() ? Lookup{} : lookupOf(found->second);
    }
    for (std::size_t j = 0; j < record.windows.size(); ++j) {
      if (chosen.lacks(RestoreSelection::browserKey(record.browser, static_cast<int>(j)))) {
        continue;
      }
      if (auto window = unopenedTabs(record.windows[j], *open)) {
        steps.push_back(RestoreStep::openBrowserWindow(record.browser, std::move(*window)));
      }
    }
  }
}

// Stage 5.
void addFinderWindows(const Snapshot& snapshot, const Chosen& chosen,
                      const CurrentWorkspace& current, std::vector<RestoreStep>& steps) {
  const Lookup open = lookupOf(current.openFinderPaths);
  for (const auto& window : snapshot.finder) {
    if (chosen.lacks(window.path) || open.contains(window.path)) continue;
    steps.push_back(RestoreStep::openFinderWindow(window));
  }
}

// Stage 6. Each tab open now accounts for exactly one recorded tab in the same directory, the
// first one met; so only the number of open tabs per directory matters.
void addTerminalWindows(const Snapshot& snapshot, const Lookup& appBundleIDs, const Chosen& chosen,
                        const CurrentWorkspace& current, std::vector<RestoreStep>& steps) {
  std::array<std::unordered_map<std::string_view, std::size_t>, allCases<TerminalKind>().size()>
      openTabs;
  for (const auto& [terminal, directories] : current.openTerminalTabs) {
    for (const auto& directory : directories)
      ++openTabs[static_cast<std::size_t>(terminal)][directory];
  }
  for (const auto& record : snapshot.terminals) {
    if (!appBundleIDs.contains(bundleID(record.app))) continue;
    auto& open = openTabs[static_cast<std::size_t>(record.app)];
    for (std::size_t j = 0; j < record.windows.size(); ++j) {
      if (chosen.lacks(RestoreSelection::terminalKey(record.app, static_cast<int>(j)))) continue;
      const auto& window = record.windows[j];
      TerminalWindowRecord kept{window.bounds, {}};
      for (const auto& tab : window.tabs) {
        if (!tab.directory) continue;
        if (auto found = open.find(*tab.directory); found != open.end() && found->second > 0) {
          --found->second;
          continue;
        }
        kept.tabs.push_back(tab);
      }
      if (!kept.tabs.empty()) {
        steps.push_back(RestoreStep::openTerminalWindow(record.app, std::move(kept)));
      }
    }
  }
}

// Stage 7.
void addPlacements(const Apps& selected, const KnownDocuments& known,
                   std::vector<RestoreStep>& steps) {
  for (const AppRecord* app : selected) {
    if (isBrowserOrTerminal(*app)) continue;
    AppRecord placed{app->bundleID,     app->path,  app->name, app->isHidden,
                     app->wasFrontmost, app->order, {},        app->windowsStatus};
    for (const auto& window : app->windows) {
      if (!window.frame) continue;
      if (const auto url = window.fileURL(); url && !known.contains(url->fileSystemPath())) {
        continue;
      }
      placed.windows.push_back(window);
    }
    if (!placed.windows.empty()) steps.push_back(RestoreStep::placeWindows(std::move(placed)));
  }
}

// Stage 8. An explicit choice is obeyed; one left at its default never replaces a clipboard that
// holds something now, and carries the change counter the caller saw.
void addClipboard(const Snapshot& snapshot, const RestoreSelection& selection,
                  const CurrentWorkspace& current, RestorePlan& plan) {
  if (!snapshot.clipboard || snapshot.clipboard->items.empty()) return;
  const bool wanted = selection.clipboard.value_or(current.clipboardIsEmpty);
  if (!wanted) return;
  if (!selection.clipboardWasDefault) {
    plan.steps.push_back(RestoreStep::restoreClipboard(*snapshot.clipboard));
  } else if (current.clipboardIsEmpty) {
    plan.steps.push_back(RestoreStep::restoreClipboard(*snapshot.clipboard));
    plan.clipboardChangeCount = selection.clipboardChangeCount;
  }
}

}  // namespace

RestorePlan plan(const Snapshot& snapshot, const RestoreSelection& selection,
                 const CurrentWorkspace& current) {
  RestorePlan result{snapshot.id, {}, std::nullopt};

  const Apps ordered = orderedApps(snapshot.apps);
  const Chosen chosenApps(selection.appPaths);
  Apps selected;
  for (const AppRecord* app : ordered) {
    if (!chosenApps.lacks(app->path)) selected.push_back(app);
  }
  Lookup appBundleIDs;
  for (const auto& app : snapshot.apps) {
    if (app.bundleID) appBundleIDs.insert(*app.bundleID);
  }

  addLaunches(selected, current, result.steps);
  // After stage 3 this holds every document open once the plan has run, which stage 7 needs.
  KnownDocuments documents(current.openDocumentPaths);
  addDocuments(ordered, snapshot.rescued, Chosen(selection.documentPaths), documents, result.steps);
  addBrowserWindows(snapshot, appBundleIDs, Chosen(selection.browserWindows), current,
                    result.steps);
  addFinderWindows(snapshot, Chosen(selection.finderPaths), current, result.steps);
  addTerminalWindows(snapshot, appBundleIDs, Chosen(selection.terminalWindows), current,
                     result.steps);
  addPlacements(selected, documents, result.steps);
  addClipboard(snapshot, selection, current, result);
  return result;
}

}  // namespace brimwell::RestorePlanner
