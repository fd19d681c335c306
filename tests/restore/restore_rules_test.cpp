// The restore executor's pure rules: Exec lines, window matching and geometry, the command lines
// of browser and terminal windows, and the workspace a capture describes.
#include "linux/restore/exec_line.h"

#include <gtest/gtest.h>

#include "linux/capture/desktop_entry.h"
#include "linux/restore/launch_commands.h"
#include "linux/restore/window_matching.h"
#include "linux/restore/workspace_now.h"

namespace brimwell {
namespace {

using Lines = std::vector<std::vector<std::string>>;

TEST(ExecLine, WordsHonourQuotesAndFieldCodesTakeTheFiles) {
  struct Case {
    std::string exec;
    std::vector<std::string> files;
    Lines expected;
  } cases[] = {
      {"gedit %U", {"/a", "/b c"}, {{"gedit", "/a", "/b c"}}},
      {"viewer --one %f", {"/a", "/b"}, {{"viewer", "--one", "/a"}, {"viewer", "--one", "/b"}}},
      {"xterm", {}, {{"xterm"}}},
      {"app %F --later", {}, {{"app", "--later"}}},
      {"app --name=%c %i -k%k 100%%", {}, {{"app", "--name=", "-k", "100%"}}},
      {"plain", {"/doc"}, {{"plain", "/doc"}}},
      {R"("/opt/My App/run" "say \"hi\"" a\b %u)",
       {"/x"},
       {{"/opt/My App/run", "say \"hi\"", "a\\b", "/x"}}},
  };
  for (const auto& c : cases) {
    const auto words = execWords(c.exec);
    ASSERT_TRUE(words) << c.exec;
    EXPECT_EQ(execCommands(*words, c.files), c.expected) << c.exec;
  }
  EXPECT_FALSE(execWords("app \"unclosed"));
  EXPECT_FALSE(execWords("   "));
}

TEST(WindowMatching, TitlesClaimFirstThenTheRestGoFrontToBack) {
  const auto window = [](int id, std::string title) {
    return DesktopWindow{.id = std::to_string(id), .title = std::move(title)};
  };
  const auto recorded = [](std::string title, int order) {
    return WindowRecord{.title = std::move(title), .order = order};
  };
  using Matches = std::vector<std::optional<WindowId>>;
  struct Case {
    const char* name;
    std::vector<WindowRecord> recorded;
    std::vector<DesktopWindow> current;
    Matches expected;
  } cases[] = {
      {"titles win over order",
       {recorded("a", 0), recorded("b", 1)},
       {window(1, "b"), window(2, "a")},
       {"2", "1"}},
      {"a title taken once; the other recorded window gets what is left",
       {recorded("same", 0), recorded("same", 1)},
       {window(7, "other"), window(8, "same")},
       {"8", "7"}},
      {"unmatched titles pair in recorded order, front to back",
       {recorded("x", 1), recorded("y", 0)},
       {window(3, "p"), window(4, "q")},
       {"4", "3"}},
      {"fewer windows now than recorded",
       {recorded("one", 0), recorded("two", 1)},
       {window(5, "two")},
       {std::nullopt, "5"}},
  };
  for (const auto& c : cases) EXPECT_EQ(matchWindows(c.recorded, c.current), c.expected) << c.name;
}

TEST(WindowMatching, ClientGeometryLeavesRoomForTheDecorations) {
  EXPECT_EQ(clientGeometry({100.4, 50, 500, 400}, {2, 2, 20, 3}),
            (ClientGeometry{100, 50, 496, 377}));
  EXPECT_EQ(clientGeometry({-10, 0, 3, 3}, {4, 4, 20, 4}), (ClientGeometry{-10, 0, 1, 1}));
}

TEST(LaunchCommands, BrowserWindowsOpenTheirTabsInOrder) {
  const BrowserWindowRecord one{.tabs = {{"https://a.example/", "A"}}};
  const BrowserWindowRecord two{.tabs = {{"https://a.example/", "A"}, {"https://b.example/", "B"}}};
  using Line = std::vector<std::string>;
  EXPECT_EQ(*browserWindowCommand(BrowserKind::firefox, "firefox", one),
            (Line{"firefox", "--new-window", "https://a.example/"}));
  // With --new-window Firefox would take the first URL only; bare, it opens a window of them.
  EXPECT_EQ(*browserWindowCommand(BrowserKind::firefox, "firefox", two),
            (Line{"firefox", "https://a.example/", "https://b.example/"}));
  EXPECT_EQ(*browserWindowCommand(BrowserKind::chrome, "chromium", two),
            (Line{"chromium", "--new-window", "https://a.example/", "https://b.example/"}));
  EXPECT_EQ(browserWindowCommand(BrowserKind::safari,
                                 std::string(defaultProgram(BrowserKind::safari)), two)
                .error()
                .message(),
            "safari has no program to start on Linux.");
  const BrowserWindowRecord sneaky{
      .tabs = {{"https://a.example/", ""}, {"--remote-debugging-port=1", ""}}};
  EXPECT_EQ(browserWindowCommand(BrowserKind::firefox, "firefox", sneaky).error().message(),
            "The tab address \"--remote-debugging-port=1\" isn't one a browser can be given.");
  EXPECT_FALSE(browserWindowCommand(BrowserKind::firefox, "firefox", BrowserWindowRecord{}));
}

TEST(LaunchCommands, TerminalTabsStartInTheirDirectories) {
  const TerminalWindowRecord two{.tabs = {{"/home/u/a", "a"}, {"/home/u/b c", "b"}}};
  EXPECT_EQ(*emulatorWindowLaunches(TerminalKind::xterm, "xterm", two),
            (std::vector<DirectoryLaunch>{{{"xterm"}, "/home/u/a"}, {{"xterm"}, "/home/u/b c"}}));
  EXPECT_EQ(
      *emulatorWindowLaunches(TerminalKind::gnomeTerminal, "gnome-terminal", two),
      (std::vector<DirectoryLaunch>{{{"gnome-terminal", "--window", "--working-directory=/home/u/a",
                                      "--tab", "--working-directory=/home/u/b c"},
                                     "/home/u/a"}}));
  // Konsole's further tabs are opened over its bus once its window runs.
  EXPECT_EQ(*emulatorWindowLaunches(TerminalKind::konsole, "konsole", two),
            (std::vector<DirectoryLaunch>{
                {{"konsole", "--separate", "--workdir", "/home/u/a"}, "/home/u/a"}}));
  EXPECT_EQ(emulatorWindowLaunches(TerminalKind::xterm, "xterm", {.tabs = {{std::nullopt, "t"}}})
                .error()
                .message(),
            "A tab of the window has no recorded directory.");
  EXPECT_FALSE(emulatorWindowLaunches(TerminalKind::xterm, "xterm", {.tabs = {{"-e", "t"}}}));
  EXPECT_FALSE(emulatorWindowLaunches(TerminalKind::tmux, "tmux", two));
  // A window per tab, each told its directory as well as started in it.
  const struct {
    TerminalKind kind;
    std::vector<std::string> first;
  } windowPerTab[] = {
      {TerminalKind::foot, {"foot", "--working-directory", "/home/u/a"}},
      {TerminalKind::alacritty, {"alacritty", "--working-directory", "/home/u/a"}},
  };
  for (const auto& [kind, first] : windowPerTab) {
    const std::string program(defaultProgram(kind));
    const auto launches = emulatorWindowLaunches(kind, program, two);
    ASSERT_TRUE(launches) << program;
    ASSERT_EQ(launches->size(), 2u);
    EXPECT_EQ((*launches)[0], (DirectoryLaunch{first, "/home/u/a"}));
    EXPECT_EQ((*launches)[1].argv.back(), "/home/u/b c");
    EXPECT_EQ((*launches)[1].directory, "/home/u/b c");
  }
}

TEST(LaunchCommands, KittyOpensAWindowOfTabsFromASessionItCanRead) {
  using Launches = std::vector<DirectoryLaunch>;
  const auto tabs = [](std::vector<std::string> directories) {
    TerminalWindowRecord window;
    for (auto& directory : directories) window.tabs.push_back({std::move(directory), "t"});
    return window;
  };
  const struct {
    const char* name;
    TerminalWindowRecord window;
    Launches expected;
  } cases[] = {
      {"one tab needs no session",
       tabs({"/home/u/a"}),
       {{{"kitty", "--directory", "/home/u/a"}, "/home/u/a"}}},
      {"tabs in a session, quoted as a shell would read them",
       tabs({"/home/u/a", "/home/u/b c", "/home/u/it's"}),
       {{{"kitty", "--session"},
         "/home/u/a",
         "launch --cwd='/home/u/a'\nnew_tab\nlaunch --cwd='/home/u/b c'\n"
         "new_tab\nlaunch --cwd='/home/u/it'\"'\"'s'\n"}}},
      {"a directory kitty would expand means a window per tab",
       tabs({"/home/u/a", "/home/u/$HOME"}),
       {{{"kitty", "--directory", "/home/u/a"}, "/home/u/a"},
        {{"kitty", "--directory", "/home/u/$HOME"}, "/home/u/$HOME"}}},
      {"so does one that a line can't hold",
       tabs({"/home/u/a", "/home/u/two\nlines"}),
       {{{"kitty", "--directory", "/home/u/a"}, "/home/u/a"},
        {{"kitty", "--directory", "/home/u/two\nlines"}, "/home/u/two\nlines"}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(*emulatorWindowLaunches(TerminalKind::kitty, "kitty", c.window), c.expected)
        << c.name;
  }
}

TEST(LaunchCommands, ABrowserOrTerminalIsLeftToItsWindowSteps) {
  const AppRecord xterm{.bundleID = "xterm", .path = "/usr/bin/xterm"};
  const AppRecord firefox{.bundleID = "org.mozilla.firefox", .path = "/usr/bin/firefox"};
  const AppRecord editor{.bundleID = "org.gnome.gedit", .path = "/usr/bin/gedit"};
  const RestorePlan plan{"id", {RestoreStep::openTerminalWindow(TerminalKind::xterm, {})}, {}};
  EXPECT_TRUE(launchLeftToWindowSteps(plan, xterm));
  EXPECT_FALSE(launchLeftToWindowSteps(plan, firefox));  // no browser window in the plan
  EXPECT_FALSE(launchLeftToWindowSteps(plan, editor));
}

TEST(WorkspaceNow, ACaptureTellsWhatIsOpenAndTmuxCountsAsRunning) {
  Snapshot now;
  now.apps = {{.bundleID = "org.gnome.gedit",
               .path = "/usr/bin/gedit",
               .order = 4,
               .windows = {{.title = "n.txt", .documentURL = "file:///home/u/n%20b.txt"},
                           {.title = "web", .documentURL = "https://example.com/"}}}};
  now.browsers = {{.browser = BrowserKind::firefox,
                   .windows = {{.tabs = {{"https://a/", ""}, {"https://b/", ""}}}}}};
  now.terminals = {{.app = TerminalKind::tmux,
                    .windows = {{.tabs = {{"/w", "p"}, {std::nullopt, "q"}, {"/w", "r"}}}}},
                   {.app = TerminalKind::xterm, .status = CaptureStatus::notRunning}};
  now.clipboard = ClipboardRecord{};
  const CurrentWorkspace current = currentWorkspaceOf(now);
  EXPECT_EQ(current.runningBundleIDs, (std::set<std::string>{"org.gnome.gedit", "tmux"}));
  EXPECT_EQ(current.openDocumentPaths, (std::set<std::string>{"/home/u/n b.txt"}));
  EXPECT_EQ(current.openTabURLs.at(BrowserKind::firefox),
            (std::set<std::string>{"https://a/", "https://b/"}));
  EXPECT_EQ(current.openTerminalTabs.at(TerminalKind::tmux),
            (std::vector<std::string>{"/w", "/w"}));
  EXPECT_TRUE(current.clipboardIsEmpty);  // a clipboard without items holds nothing

  const Snapshot shown = withTerminalServers(now);
  ASSERT_EQ(shown.apps.size(), 2u);
  EXPECT_EQ(shown.apps[1].bundleID, "tmux");
  EXPECT_EQ(shown.apps[1].order, 5);
  EXPECT_EQ(withTerminalServers(shown).apps.size(), 2u);  // added once
  now.terminals[0].status = CaptureStatus::notRunning;
  EXPECT_EQ(withTerminalServers(now).apps.size(), 1u);
  // foot has no X window either: its running windows count as its application's.
  now.terminals.push_back({.app = TerminalKind::foot, .windows = {{.tabs = {{"/w", "sh"}}}}});
  const Snapshot withFoot = withTerminalServers(now);
  ASSERT_EQ(withFoot.apps.size(), 2u);
  EXPECT_EQ(withFoot.apps[1].bundleID, "foot");
  EXPECT_EQ(currentWorkspaceOf(now).openTerminalTabs.at(TerminalKind::foot),
            std::vector<std::string>{"/w"});
}

}  // namespace
}  // namespace brimwell
