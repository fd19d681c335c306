#include "brimwell/core/restore/restore_planner.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/core/restore/restore_printing.h"

namespace brimwell {
namespace {

using Steps = std::vector<RestoreStep>;
using Strings = std::vector<std::string>;

const Rect kFrame{10, 20, 300, 200};

WindowRecord window(std::optional<std::string> documentURL, int order = 0, bool framed = true) {
  return WindowRecord{"w",
                      framed ? std::optional<Rect>(kFrame) : std::nullopt,
                      false,
                      false,
                      std::move(documentURL),
                      order};
}

std::string fileURL(const std::string& path) { return "file://" + path; }

AppRecord app(std::optional<std::string> bundleID, const std::string& path, int order,
              std::vector<WindowRecord> windows = {}) {
  return AppRecord{std::move(bundleID), path, path, false, false, order, std::move(windows),
                   CaptureStatus::ok};
}

AppRecord editor(int order = 0, std::vector<WindowRecord> windows = {}) {
  return app("com.example.Editor", "/Applications/Editor.app", order, std::move(windows));
}
AppRecord safari(int order = 0) {
  return app("com.apple.Safari", "/Applications/Safari.app", order);
}
AppRecord chrome(int order = 0) {
  return app("com.google.Chrome", "/Applications/Chrome.app", order);
}
AppRecord terminal(int order = 0) {
  return app("com.apple.Terminal", "/Applications/Terminal.app", order);
}

Snapshot snapshotOf(std::vector<AppRecord> apps) {
  Snapshot snapshot;
  snapshot.id = "20260301T140509.250Z";
  snapshot.apps = std::move(apps);
  return snapshot;
}

ClipboardRecord oneItemClipboard() {
  return ClipboardRecord({{{"public.utf8-plain-text", {'h', 'i'}}}});
}

Steps planSteps(const Snapshot& snapshot,
                const RestoreSelection& selection = RestoreSelection::everything(),
                const CurrentWorkspace& current = {}) {
  return RestorePlanner::plan(snapshot, selection, current).steps;
}

template <class T>
std::vector<T> only(const Steps& steps) {
  std::vector<T> found;
  for (const auto& step : steps) {
    if (const T* value = step.as<T>()) found.push_back(*value);
  }
  return found;
}

Strings launched(const Steps& steps) {
  Strings paths;
  for (const auto& step : only<RestoreStep::LaunchApp>(steps)) paths.push_back(step.app.path);
  return paths;
}

// For each window step of type `T`, the `field` of each of its tabs.
template <class T, class Tab>
std::vector<Strings> tabsOf(const Steps& steps, std::string Tab::*field) {
  std::vector<Strings> result;
  for (const auto& step : only<T>(steps)) {
    result.emplace_back();
    for (const auto& tab : step.window.tabs) result.back().push_back(tab.*field);
  }
  return result;
}
std::vector<Strings> tabURLs(const Steps& steps) {
  return tabsOf<RestoreStep::OpenBrowserWindow>(steps, &TabRecord::url);
}
std::vector<Strings> tabTitles(const Steps& steps) {
  return tabsOf<RestoreStep::OpenTerminalWindow>(steps, &TerminalTabRecord::title);
}

TEST(RestorePlannerTest, EverythingIntoAnEmptyWorkspaceRestoresEachKindInStageOrder) {
  const WindowRecord report = window(fileURL("/Users/ann/Report.txt"));
  Snapshot snapshot = snapshotOf({editor(2, {report}), safari(0), terminal(1)});
  const BrowserWindowRecord browserWindow{
      kFrame, 1, {{"https://a.example/", "A"}, {"https://b.example/", "B"}}};
  snapshot.browsers = {{BrowserKind::safari, CaptureStatus::ok, {browserWindow}}};
  snapshot.finder = {{"/Users/ann/Desktop", kFrame}};
  const TerminalWindowRecord terminalWindow{kFrame, {{"/Users/ann/src", "src"}}};
  snapshot.terminals = {{TerminalKind::terminal, CaptureStatus::ok, {terminalWindow}}};
  snapshot.clipboard = oneItemClipboard();

  const CurrentWorkspace empty{{}, {}, {}, {}, {}, true, {}};
  const RestorePlan plan = RestorePlanner::plan(snapshot, RestoreSelection::everything(), empty);
  const Steps expected{
      RestoreStep::launchApp(safari(0)),
      RestoreStep::launchApp(terminal(1)),
      RestoreStep::launchApp(editor(2, {report})),
      RestoreStep::openDocuments("/Applications/Editor.app", "com.example.Editor",
                                 {"/Users/ann/Report.txt"}),
      RestoreStep::openBrowserWindow(BrowserKind::safari, browserWindow),
      RestoreStep::openFinderWindow(snapshot.finder[0]),
      RestoreStep::openTerminalWindow(TerminalKind::terminal, terminalWindow),
      RestoreStep::placeWindows(editor(2, {report})),
      RestoreStep::restoreClipboard(*snapshot.clipboard),
  };
  EXPECT_EQ(plan, (RestorePlan{snapshot.id, expected, std::nullopt}));
}

TEST(RestorePlannerTest, AppsRunningNowAreNotLaunchedButGetTheirDocumentsAndPlacement) {
  const AppRecord nameless =
      app(std::nullopt, "/Applications/Tool.app", 1, {window(fileURL("/tmp/t.txt"))});
  const Snapshot snapshot = snapshotOf({editor(0, {window(fileURL("/tmp/e.txt"))}), nameless});
  struct Case {
    const char* name;
    CurrentWorkspace current;
    Strings launched;
  } cases[] = {
      {"nothing running", {}, {"/Applications/Editor.app", "/Applications/Tool.app"}},
      {"by bundle identifier", {{"com.example.Editor"}, {}}, {"/Applications/Tool.app"}},
      {"by path", {{}, {"/Applications/Editor.app", "/Applications/Tool.app"}}, {}},
      {"an identifier the app doesn't have",
       {{"/Applications/Tool.app"}, {}},
       {"/Applications/Editor.app", "/Applications/Tool.app"}},
  };
  for (const auto& c : cases) {
    const Steps steps = planSteps(snapshot, RestoreSelection::everything(), c.current);
    EXPECT_EQ(launched(steps), c.launched) << c.name;
    EXPECT_EQ(only<RestoreStep::OpenDocuments>(steps).size(), 2u) << c.name;
    EXPECT_EQ(only<RestoreStep::PlaceWindows>(steps).size(), 2u) << c.name;
  }
}

TEST(RestorePlannerTest, ApplicationsAndWindowsFollowTheirOrderStably) {
  const Snapshot snapshot = snapshotOf({
      app("first.in.snapshot", "/A.app", 3),
      app("second.in.snapshot", "/B.app", 1,
          {window(fileURL("/late"), 5), window(fileURL("/early"), 2), window(fileURL("/tie"), 5)}),
      app("third.in.snapshot", "/C.app", 1),
  });
  const Steps steps = planSteps(snapshot);
  EXPECT_EQ(launched(steps), (Strings{"/B.app", "/C.app", "/A.app"}));
  // Documents open in window order; placement keeps the stored order.
  const auto opened = only<RestoreStep::OpenDocuments>(steps);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0].paths, (Strings{"/early", "/late", "/tie"}));
  EXPECT_EQ(only<RestoreStep::PlaceWindows>(steps).at(0).app.windows, snapshot.apps[1].windows);
}

TEST(RestorePlannerTest, ManyEqualOrdersKeepTheirSnapshotOrder) {
  std::vector<AppRecord> apps;
  Strings evens, odds;
  for (int i = 0; i < 64; ++i) {
    const std::string path = "/App" + std::to_string(i) + ".app";
    apps.push_back(app(std::nullopt, path, (i * 5) % 2));
    ((i * 5) % 2 == 0 ? evens : odds).push_back(path);
  }
  evens.insert(evens.end(), odds.begin(), odds.end());
  EXPECT_EQ(launched(planSteps(snapshotOf(apps))), evens);
}

TEST(RestorePlannerTest, EachDocumentOpensOnceWithTheFirstAppAndRescuedCopiesFollowTheirApp) {
  Snapshot snapshot = snapshotOf({
      app("com.example.Later", "/Later.app", 5,
          {window(fileURL("/shared.txt")), window(fileURL("/own.txt"))}),
      app("com.example.Earlier", "/Earlier.app", 1, {window(fileURL("/shared.txt"))}),
      safari(3),
  });
  snapshot.rescued = {
      {"com.example.Earlier", "Earlier", "t", "/Rescued/e.txt"},
      {"com.gone.App", "Gone", "t", "/Rescued/g1.txt"},
      {"com.apple.Safari", "Safari", "t", "/Rescued/page.html"},
      {"com.other.App", "Other", "t", "/Rescued/o.txt"},
      {"com.gone.App", "Gone", "t", "/Rescued/g2.txt"},
      {"com.example.Later", "Later", "t", "/shared.txt"},  // already opened by a window
  };
  const Steps expected{
      RestoreStep::openDocuments("/Earlier.app", "com.example.Earlier",
                                 {"/shared.txt", "/Rescued/e.txt"}),
      RestoreStep::openDocuments("/Applications/Safari.app", "com.apple.Safari",
                                 {"/Rescued/page.html"}),
      RestoreStep::openDocuments("/Later.app", "com.example.Later", {"/own.txt"}),
      RestoreStep::openDocuments("", "com.gone.App", {"/Rescued/g1.txt", "/Rescued/g2.txt"}),
      RestoreStep::openDocuments("", "com.other.App", {"/Rescued/o.txt"}),
  };
  Steps opened;
  for (const auto& step : planSteps(snapshot)) {
    if (step.as<RestoreStep::OpenDocuments>()) opened.push_back(step);
  }
  EXPECT_EQ(opened, expected);
}

TEST(RestorePlannerTest, OnlyFramedWindowsWhoseDocumentWillBeOpenArePlaced) {
  const WindowRecord openNow = window(fileURL("/open-now.txt"));
  const WindowRecord deselected = window(fileURL("/deselected.txt"));
  const WindowRecord chosen = window(fileURL("/chosen.txt"));
  const WindowRecord frameless = window(fileURL("/frameless.txt"), 0, false);
  const WindowRecord noDocument = window(std::nullopt);
  const WindowRecord webPage = window("https://example.org/page");
  const WindowRecord notAURL = window("not a url at all");
  const Snapshot snapshot = snapshotOf(
      {editor(0, {openNow, deselected, chosen, frameless, noDocument, webPage, notAURL})});
  RestoreSelection selection;
  selection.documentPaths = {{"/open-now.txt", "/chosen.txt", "/frameless.txt"}};
  CurrentWorkspace current;
  current.openDocumentPaths = {"/open-now.txt"};

  const Steps steps = planSteps(snapshot, selection, current);
  EXPECT_EQ(
      steps,
      (Steps{
          RestoreStep::launchApp(snapshot.apps[0]),
          RestoreStep::openDocuments("/Applications/Editor.app", "com.example.Editor",
                                     {"/chosen.txt", "/frameless.txt"}),
          RestoreStep::placeWindows(editor(0, {openNow, chosen, noDocument, webPage, notAURL})),
      }));

  // An application left out of the selection is neither launched nor placed; its documents still
  // follow the document selection alone.
  selection.appPaths = std::set<std::string>{};
  EXPECT_EQ(planSteps(snapshot, selection, current),
            (Steps{RestoreStep::openDocuments("/Applications/Editor.app", "com.example.Editor",
                                              {"/chosen.txt", "/frameless.txt"})}));
}

TEST(RestorePlannerTest, BrowserWindowsKeepOnlyTabsNotOpenNowAndRecomputeTheActiveTab) {
  const auto tabs = [](std::initializer_list<const char*> urls) {
    std::vector<TabRecord> result;
    for (const char* url : urls) result.push_back({url, std::string("title ") + url});
    return result;
  };
  struct Case {
    int active;
    std::set<std::string> open;
    Strings kept;  // empty: no step
    int newActive;
  } cases[] = {
      {2, {"B"}, {"A", "C", "D"}, 1},   {2, {"C"}, {"A", "B", "D"}, 2},
      {2, {"A", "B", "C", "D"}, {}, 0}, {2, {}, {"A", "B", "C", "D"}, 2},
      {3, {"D"}, {"A", "B", "C"}, 2},   {0, {"A"}, {"B", "C", "D"}, 0},
      {-1, {"B"}, {"A", "C", "D"}, 0},  {9, {"A"}, {"B", "C", "D"}, 2},
  };
  for (const auto& c : cases) {
    Snapshot snapshot = snapshotOf({safari()});
    snapshot.browsers = {{BrowserKind::safari,
                          CaptureStatus::ok,
                          {BrowserWindowRecord{kFrame, c.active, tabs({"A", "B", "C", "D"})}}}};
    CurrentWorkspace current;
    current.openTabURLs = {{BrowserKind::safari, c.open},
                           {BrowserKind::chrome, {"A", "B", "C", "D"}}};
    const Steps steps = planSteps(snapshot, RestoreSelection::everything(), current);
    const auto opened = only<RestoreStep::OpenBrowserWindow>(steps);
    if (c.kept.empty()) {
      EXPECT_TRUE(opened.empty()) << c.active;
      continue;
    }
    ASSERT_EQ(opened.size(), 1u) << c.active;
    EXPECT_EQ(tabURLs(steps).at(0), c.kept) << c.active;
    EXPECT_EQ(opened[0].window.activeTabIndex, c.newActive) << c.active;
    EXPECT_EQ(opened[0].window.bounds, kFrame);
    EXPECT_EQ(opened[0].window.tabs[0].title, "title " + c.kept[0]);
  }
}

TEST(RestorePlannerTest, BrowserWindowsFollowTheSelectionAndNeedTheirAppInTheSnapshot) {
  const auto windowWith = [](const char* url) {
    return BrowserWindowRecord{std::nullopt, 0, {{url, url}}};
  };
  Snapshot snapshot = snapshotOf({chrome()});
  snapshot.browsers = {
      {BrowserKind::chrome,
       CaptureStatus::ok,
       {windowWith("c0"), windowWith("c1"), windowWith("shared")}},
      {BrowserKind::safari, CaptureStatus::ok, {windowWith("s0")}},  // Safari didn't run
  };
  EXPECT_EQ(tabURLs(planSteps(snapshot)), (std::vector<Strings>{{"c0"}, {"c1"}, {"shared"}}));

  RestoreSelection selection;
  selection.browserWindows = {{"chrome#1", "safari#0"}};
  EXPECT_EQ(tabURLs(planSteps(snapshot, selection)), (std::vector<Strings>{{"c1"}}));

  // One open tab suppresses its URL in every window of that browser.
  snapshot.browsers[0].windows[0].tabs.push_back({"shared", "shared"});
  CurrentWorkspace current;
  current.openTabURLs[BrowserKind::chrome] = {"shared"};
  EXPECT_EQ(tabURLs(planSteps(snapshot, RestoreSelection::everything(), current)),
            (std::vector<Strings>{{"c0"}, {"c1"}}));
}

TEST(RestorePlannerTest, EachOpenTerminalTabAccountsForOneRecordedTab) {
  const auto tab = [](std::optional<std::string> directory, const char* title) {
    return TerminalTabRecord{std::move(directory), title};
  };
  Snapshot snapshot = snapshotOf({terminal(), app("com.googlecode.iterm2", "/iTerm.app", 1)});
  snapshot.terminals = {
      {TerminalKind::terminal,
       CaptureStatus::ok,
       {{kFrame,
         {tab("/x", "x first"), tab("/x", "x second"), tab(std::nullopt, "no dir"),
          tab("/y", "y")}},
        {std::nullopt, {tab("/y", "y again"), tab("/x", "x third")}},
        {std::nullopt, {tab("/z", "z")}}}},
      {TerminalKind::iterm2, CaptureStatus::ok, {{std::nullopt, {tab("/x", "iterm x")}}}},
  };
  struct Case {
    const char* name;
    std::map<TerminalKind, Strings> open;
    std::vector<Strings> titles;
  } cases[] = {
      {"nothing open",
       {},
       {{"x first", "x second", "y"}, {"y again", "x third"}, {"z"}, {"iterm x"}}},
      {"the directory open once",
       {{TerminalKind::terminal, {"/x"}}},
       {{"x second", "y"}, {"y again", "x third"}, {"z"}, {"iterm x"}}},
      {"open three times, across windows",
       {{TerminalKind::terminal, {"/x", "/z", "/x", "/x", "/y"}}},
       {{}, {"y again"}, {"iterm x"}}},
      {"open in the other terminal",
       {{TerminalKind::iterm2, {"/x", "/z"}}},
       {{"x first", "x second", "y"}, {"y again", "x third"}, {"z"}}},
  };
  for (const auto& c : cases) {
    CurrentWorkspace current;
    current.openTerminalTabs = c.open;
    auto titles = tabTitles(planSteps(snapshot, RestoreSelection::everything(), current));
    std::vector<Strings> expected;
    for (const auto& window : c.titles) {
      if (!window.empty()) expected.push_back(window);
    }
    EXPECT_EQ(titles, expected) << c.name;
  }

  RestoreSelection selection;
  selection.terminalWindows = {{"terminal#2", "iterm2#1"}};
  EXPECT_EQ(tabTitles(planSteps(snapshot, selection)), (std::vector<Strings>{{"z"}}));
  snapshot.apps.pop_back();  // iTerm2 didn't run: its record is left out
  EXPECT_EQ(tabTitles(planSteps(snapshot)).size(), 3u);
}

TEST(RestorePlannerTest, FinderWindowsFollowTheSelectionAndSkipWhatIsOpen) {
  Snapshot snapshot = snapshotOf({});
  snapshot.finder = {{"/a", kFrame}, {"/b", std::nullopt}, {"/c", std::nullopt}};
  CurrentWorkspace current;
  current.openFinderPaths = {"/b"};
  const auto paths = [&](const RestoreSelection& selection) {
    Strings result;
    for (const auto& step :
         only<RestoreStep::OpenFinderWindow>(planSteps(snapshot, selection, current))) {
      result.push_back(step.window.path);
    }
    return result;
  };
  EXPECT_EQ(paths(RestoreSelection::everything()), (Strings{"/a", "/c"}));
  RestoreSelection none;
  none.finderPaths = std::set<std::string>{};
  EXPECT_EQ(paths(none), Strings{});
  RestoreSelection some;
  some.finderPaths = {{"/b", "/c"}};
  EXPECT_EQ(paths(some), Strings{"/c"});
}

TEST(RestorePlannerTest, ClipboardFollowsTheChoiceAndNeverReplacesContentOnADefault) {
  struct Case {
    const char* name;
    std::optional<bool> clipboard;
    bool wasDefault;
    bool currentEmpty;
    bool snapshotHasItems;
    bool restored;
    std::optional<std::int64_t> changeCount;
  } cases[] = {
      {"explicit yes over content", true, false, false, true, true, std::nullopt},
      {"explicit yes, empty now", true, false, true, true, true, std::nullopt},
      {"default, empty now", std::nullopt, true, true, true, true, 41},
      {"default, content now", std::nullopt, true, false, true, false, std::nullopt},
      {"default yes, content now", true, true, false, true, false, std::nullopt},
      {"default yes, empty now", true, true, true, true, true, 41},
      {"absent, not default, empty now", std::nullopt, false, true, true, true, std::nullopt},
      {"absent, not default, content now", std::nullopt, false, false, true, false, std::nullopt},
      {"explicit no, empty now", false, false, true, true, false, std::nullopt},
      {"default no, empty now", false, true, true, true, false, std::nullopt},
      {"no items in the snapshot", true, false, true, false, false, std::nullopt},
  };
  for (const auto& c : cases) {
    Snapshot snapshot = snapshotOf({});
    snapshot.clipboard = c.snapshotHasItems ? oneItemClipboard()
                                            : ClipboardRecord(std::vector<ClipboardRecord::Item>{});
    RestoreSelection selection;
    selection.clipboard = c.clipboard;
    selection.clipboardWasDefault = c.wasDefault;
    selection.clipboardChangeCount = 41;
    CurrentWorkspace current;
    current.clipboardIsEmpty = c.currentEmpty;
    const RestorePlan plan = RestorePlanner::plan(snapshot, selection, current);
    const Steps expected =
        c.restored ? Steps{RestoreStep::restoreClipboard(*snapshot.clipboard)} : Steps{};
    EXPECT_EQ(plan.steps, expected) << c.name;
    EXPECT_EQ(plan.clipboardChangeCount, c.changeCount) << c.name;
  }
  // A snapshot without a clipboard record restores none.
  EXPECT_TRUE(
      planSteps(snapshotOf({}), RestoreSelection{{}, {}, {}, {}, {}, true}, CurrentWorkspace{})
          .empty());
}

}  // namespace
}  // namespace brimwell
