// The capturer's pure rules: desktop files and their matching, the identity table, tmux output,
// document URLs, the assembly of applications and emulator terminals, clipboard targets.
#include "linux/capture/desktop_entry.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "linux/capture/app_assembly.h"
#include "linux/capture/app_identity.h"
#include "linux/capture/clipboard_targets.h"
#include "linux/capture/desktop_catalog.h"
#include "linux/capture/emulator_terminals.h"
#include "linux/capture/process_table.h"
#include "linux/capture/tmux_panes.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

TEST(DesktopEntry, ReadsTheApplicationGroupOnly) {
  struct Case {
    const char* text;
    std::optional<DesktopEntry> expected;
  };
  const Case cases[] = {
      {"[Desktop Entry]\nType=Application\nName=XTerm\nName[de]=X-Terminal\nExec=xterm\n"
       "StartupWMClass=XTerm\n[Desktop Action new]\nName=New\nExec=other\n",
       DesktopEntry{"t", "XTerm", "xterm", "XTerm", {"xterm"}}},
      {"# comment\n[Desktop Entry]\nType=Application\nName = Editor \n"
       "Exec=env LANG=C GDK_BACKEND=x11 \"/opt/My Editor/bin/editor\" %F\n",
       DesktopEntry{"t",
                    "Editor",
                    "editor",
                    "",
                    {"env", "LANG=C", "GDK_BACKEND=x11", "/opt/My Editor/bin/editor", "%F"}}},
      // String escapes are undone before Exec is split; an unclosed quote leaves no program.
      {"[Desktop Action new]\nExec=wrong\n\n[Desktop Entry]\nType=Application\n"
       "Name=Tab\\tbed\n# Exec=comment\nExec = edit\\s--flag %F \n[Other]\nExec=also-wrong\n",
       DesktopEntry{"t", "Tab\tbed", "edit", "", {"edit", "--flag", "%F"}}},
      {"[Desktop Entry]\nType=Application\nName=Broken\nExec=app \"unclosed\n", std::nullopt},
      {"[Desktop Entry]\nType=Link\nName=Site\nExec=x\n", std::nullopt},
      {"[Desktop Entry]\nType=Application\nName=Gone\nExec=x\nHidden=true\n", std::nullopt},
      {"[Desktop Entry]\nType=Application\nName=NoExec\n", std::nullopt},
      {"[Desktop Entry]\nType=Application\nName=Codes\nExec=%F\n", std::nullopt},
      {"[Desktop Entry]\nType=Application\nName=Codes\nExec=env A=1 %U\n", std::nullopt},
      {"[Other]\nType=Application\nName=A\nExec=a\n", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parseDesktopEntry("t", c.text), c.expected) << c.text;
  EXPECT_EQ(desktopFileID("/usr/share/applications", "/usr/share/applications/kde4/kate.desktop"),
            "kde4-kate");
}

TEST(DesktopEntry, MatchesByWindowClassThenProgramThenID) {
  const std::vector<DesktopEntry> entries = {
      {"debian-uxterm", "UXTerm", "uxterm", "UXTerm"},
      {"debian-xterm", "XTerm", "xterm", "XTerm"},
      {"org.gnome.gedit", "Text Editor", "gedit", ""},
      {"google-chrome", "Google Chrome", "google-chrome-stable", ""},
  };
  struct Case {
    ProgramFacts program;
    const char* expected;  // nullptr: no entry
  };
  const Case cases[] = {
      {{"xterm", "XTerm", "xterm"}, "debian-xterm"},
      {{"xterm", "uxterm", "uxterm"}, "debian-uxterm"},  // class beats program, any case
      {{"gedit", "", ""}, "org.gnome.gedit"},
      {{"chrome", "Google-chrome", "google-chrome"}, "google-chrome"},
      {{"bash", "", ""}, nullptr},
      {{"", "", ""}, nullptr},
  };
  for (const auto& c : cases) {
    const auto* found = matchDesktopEntry(entries, c.program);
    EXPECT_EQ(found ? found->id : std::string(), c.expected ? c.expected : "");
  }
}

TEST(AppIdentity, MapsKnownDesktopIDsToTheKindsBundleIDs) {
  const std::pair<const char*, const char*> cases[] = {
      {"google-chrome", "com.google.Chrome"},      {"brave-browser", "com.brave.Browser"},
      {"microsoft-edge", "com.microsoft.edgemac"}, {"vivaldi-stable", "com.vivaldi.Vivaldi"},
      {"firefox-esr", "org.mozilla.firefox"},      {"debian-uxterm", "xterm"},
      {"org.kde.konsole", "org.kde.konsole"},      {"org.gnome.gedit", "org.gnome.gedit"},
  };
  for (const auto& [id, expected] : cases) EXPECT_EQ(bundleIDForDesktopID(id), expected) << id;
}

TEST(XdgDirs, UseTheVariablesOrTheirDefaults) {
  EXPECT_EQ(xdgApplicationDirs("", "", "/home/ann"),
            (std::vector<std::filesystem::path>{"/home/ann/.local/share/applications",
                                                "/usr/local/share/applications",
                                                "/usr/share/applications"}));
  EXPECT_EQ(xdgApplicationDirs("/data", "/a:relative::/b", "/home/ann"),
            (std::vector<std::filesystem::path>{"/data/applications", "/a/applications",
                                                "/b/applications"}));
}

TEST(TmuxPanes, GroupPanesIntoWindowsInOrder) {
  const auto windows = parseTmuxPanes(
      "work\t0\t0\t/home/ann\tann@host\n"
      "work\t1\t0\t/srv\tlogs\twith tab\n"
      "work\t0\t1\t\tvim\r\n"
      "broken line\n"
      "play\t0\t0\t/tmp\tgame\n");
  ASSERT_EQ(windows.size(), 3u);
  EXPECT_EQ(windows[0].tabs, (std::vector<TerminalTabRecord>{{"/home/ann", "work:ann@host"},
                                                             {std::nullopt, "work:vim"}}));
  EXPECT_EQ(windows[1].tabs, (std::vector<TerminalTabRecord>{{"/srv", "work:logs\twith tab"}}));
  EXPECT_EQ(windows[2].tabs, (std::vector<TerminalTabRecord>{{"/tmp", "play:game"}}));
  EXPECT_TRUE(parseTmuxPanes("").empty());

  // The title gives both names back; a window name may hold colons, a session never does.
  EXPECT_EQ(parseTmuxTabTitle("work:logs: tail"), (TmuxWindowName{"work", "logs: tail"}));
  EXPECT_EQ(parseTmuxTabTitle("work:"), (TmuxWindowName{"work", ""}));
  EXPECT_EQ(parseTmuxTabTitle(":x"), std::nullopt);
  EXPECT_EQ(parseTmuxTabTitle("bash"), std::nullopt);
}

TEST(DocumentURL, NamesTheOpenFileTheTitleShowsAsAWord) {
  const std::vector<std::string> files = {"/home/ann/notes.txt", "/home/ann/a.txt",
                                          "/home/ann/My Report.odt", "/home/ann/report"};
  struct Case {
    const char* title;
    std::optional<std::string> expected;
  };
  const Case cases[] = {
      {"notes.txt - Editor", "file:///home/ann/notes.txt"},
      {"* a.txt (modified)", "file:///home/ann/a.txt"},
      {"data.txt", std::nullopt},  // a.txt only inside a longer name
      {"old-notes.txt", std::nullopt},
      {"My Report.odt — Writer", "file:///home/ann/My%20Report.odt"},
      {"report: My Report.odt", "file:///home/ann/My%20Report.odt"},  // the longest name wins
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(documentURLFor(c.title, files), c.expected) << c.title;
}

TEST(AssembleApps, OneAppPerProcessOrderedByItsFrontmostWindow) {
  Desktop desktop;
  desktop.windows = {
      {.id = "1", .pid = 20, .appClass = "Editor", .title = "b.txt"},
      {.id = "2", .pid = 10, .appClass = "XTerm", .title = "shell", .hidden = true},
      {.id = "3", .pid = 20, .appClass = "Editor", .title = "a.txt", .fullScreen = true},
      {.id = "4", .appClass = "Tool", .title = "palette"},
  };
  desktop.active = "3";
  const std::map<int, ProcessIdentity> identities = {
      {20, {"/usr/bin/editor", "org.example.Editor", "Editor", {"/home/ann/a.txt"}}},
      {10, {"/usr/bin/xterm", "xterm", "XTerm", {}}},
  };
  const auto apps = assembleApps(desktop, identities);
  ASSERT_EQ(apps.size(), 3u);
  EXPECT_EQ(apps[0].bundleID, "org.example.Editor");
  EXPECT_TRUE(apps[0].wasFrontmost);
  EXPECT_FALSE(apps[0].isHidden);
  ASSERT_EQ(apps[0].windows.size(), 2u);
  EXPECT_EQ(apps[0].windows[1].title, "a.txt");
  EXPECT_EQ(apps[0].windows[1].order, 1);
  EXPECT_TRUE(apps[0].windows[1].isFullScreen);
  EXPECT_EQ(apps[0].windows[1].documentURL, "file:///home/ann/a.txt");
  EXPECT_EQ(apps[0].windows[0].documentURL, std::nullopt);
  EXPECT_EQ(apps[1].order, 1);
  EXPECT_TRUE(apps[1].isHidden);
  EXPECT_TRUE(apps[1].windows[0].isMinimized);
  EXPECT_FALSE(apps[1].wasFrontmost);
  EXPECT_EQ(apps[2].name, "Tool");
  EXPECT_EQ(apps[2].bundleID, std::nullopt);
}

TEST(EmulatorTerminals, ShellsBecomeTabsOfTheirTerminalsWindows) {
  Desktop desktop;
  const Rect frame{1, 2, 3, 4};
  desktop.windows = {
      {.id = "1", .pid = 5, .title = "ann@host: ~", .frame = frame},
      {.id = "2", .pid = 7, .title = "one"},
      {.id = "3", .pid = 7, .title = "two"},
      {.id = "4", .pid = 9, .title = "editor"},
      {.id = "5", .pid = 11, .title = "kitty", .frame = frame},
      {.id = "6", .pid = 13, .title = "foot", .frame = frame},
  };
  const std::map<int, ProcessIdentity> identities = {
      {5, {"/usr/bin/xterm", "xterm", "XTerm", {}}},
      {7, {"/usr/libexec/gnome-terminal-server", "org.gnome.Terminal", "Terminal", {}}},
      {9, {"/usr/bin/editor", "org.example.Editor", "Editor", {}}},
      {11, {"/usr/bin/kitty", "kitty", "kitty", {}}},
      {13, {"/usr/bin/foot", "foot", "foot", {}}},
  };
  const std::map<int, std::vector<ShellTab>> shells = {
      {5, {{"/home/ann", "bash"}}}, {7, {{"/srv", "bash"}, {std::nullopt, "zsh"}}},
      {9, {{"/", "helper"}}},       {11, {{"/tmp", "fish"}}},
      {13, {{"/var", "sh"}}},
  };
  const auto records = emulatorTerminals(desktop, identities, shells);
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(records[0], (TerminalRecord{TerminalKind::xterm,
                                        CaptureStatus::ok,
                                        {{frame, {{"/home/ann", "ann@host: ~"}}}}}));
  EXPECT_EQ(records[1], (TerminalRecord{TerminalKind::gnomeTerminal,
                                        CaptureStatus::ok,
                                        {{std::nullopt, {{"/srv", "bash"}, {std::nullopt, "zsh"}}},
                                         {std::nullopt, {}}}}));
  EXPECT_EQ(records[2], (TerminalRecord{TerminalKind::konsole, CaptureStatus::notRunning, {}}));
  EXPECT_EQ(
      records[3],
      (TerminalRecord{TerminalKind::kitty, CaptureStatus::ok, {{frame, {{"/tmp", "kitty"}}}}}));
  EXPECT_EQ(records[4], (TerminalRecord{TerminalKind::alacritty, CaptureStatus::notRunning, {}}));
  EXPECT_EQ(records[5],
            (TerminalRecord{TerminalKind::foot, CaptureStatus::ok, {{frame, {{"/var", "foot"}}}}}));
}

TEST(EmulatorTerminals, EachShellOfFootIsAWindowOfItsOwn) {
  // A foot window (pid 3), and a foot server with two client windows (pid 8).
  const std::map<int, std::vector<ShellTab>> shells = {
      {3, {{"/home/ann", "bash"}}},
      {8, {{"/srv", "zsh"}, {std::nullopt, "bash"}}},
  };
  EXPECT_EQ(shellWindowTerminals(TerminalKind::foot, shells),
            (TerminalRecord{TerminalKind::foot,
                            CaptureStatus::ok,
                            {{std::nullopt, {{"/home/ann", "bash"}}},
                             {std::nullopt, {{"/srv", "zsh"}}},
                             {std::nullopt, {{std::nullopt, "bash"}}}}}));
  EXPECT_EQ(shellWindowTerminals(TerminalKind::foot, {{3, {}}}),
            (TerminalRecord{TerminalKind::foot, CaptureStatus::notRunning, {}}));
}

TEST(ClipboardTargets, DataTargetsAndTheCeiling) {
  EXPECT_EQ(dataTargets({"TARGETS", "UTF8_STRING", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS",
                         "text/html", "UTF8_STRING", ""}),
            (std::vector<std::string>{"UTF8_STRING", "text/html"}));
  // What an owner says about itself is not what was copied.
  EXPECT_EQ(dataTargets({"STRING", "LENGTH", "LIST_LENGTH", "HOSTNAME", "IP_ADDRESS", "USER",
                         "CLASS", "NAME", "CLIENT_WINDOW", "OWNER_OS", "PROCESS", "TASK",
                         "INSERT_SELECTION", "INSERT_PROPERTY", "DELETE", "image/png"}),
            (std::vector<std::string>{"STRING", "image/png"}));
  ClipboardBudget budget(10);
  EXPECT_TRUE(budget.take(6));
  EXPECT_FALSE(budget.take(5));  // doesn't fit: nothing more is added
  EXPECT_FALSE(budget.take(1));
  EXPECT_TRUE(budget.stopped());
  EXPECT_EQ(budget.left(), 0);
}

TEST(ProcStat, ReadsCommandsWithSpacesAndParentheses) {
  EXPECT_EQ(parseProcStat("42 (my (odd) prog) S 7 42 42 0"),
            (ProcessEntry{.pid = 42, .parent = 7, .command = "my (odd) prog"}));
  EXPECT_EQ(parseProcStat("42 no command"), std::nullopt);
  EXPECT_EQ(parseProcStat("x (a) S 1"), std::nullopt);
}

// A process that ends while it is read leaves files that open but fail to read; a directory
// stands in for one here, as its read fails the same way.
TEST(ProcProcessTable, AProcessWhoseFilesFailToReadIsTakenAsGone) {
  testing::TempDir proc;
  std::filesystem::create_directories(proc / "7");
  testing::writeFile(proc / "7" / "stat", "7 (foot) S 1 7 7 0");
  testing::writeFile(proc / "7" / "environ", std::string("WAYLAND_DISPLAY=wayland-1\0", 26));
  std::filesystem::create_directories(proc / "8" / "stat");
  std::filesystem::create_directories(proc / "8" / "environ");

  ProcProcessTable table(proc.path());
  const auto processes = table.processes();
  ASSERT_EQ(processes.size(), 1u);
  EXPECT_EQ(processes[0].command, "foot");
  EXPECT_EQ(table.environmentValue(7, "WAYLAND_DISPLAY"), "wayland-1");
  EXPECT_EQ(table.environmentValue(8, "WAYLAND_DISPLAY"), std::nullopt);
}

TEST(FileDesktopCatalog, SkipsWhatIsNoFileUnderAnEntrysName) {
  testing::TempDir apps;
  testing::writeFile(apps / "foot.desktop",
                     "[Desktop Entry]\nType=Application\nName=Foot\nExec=foot\n");
  std::filesystem::create_directories(apps / "folder.desktop");
  ASSERT_EQ(::mkfifo((apps / "fifo.desktop").c_str(), 0600), 0);

  FileDesktopCatalog catalog({apps.path()});
  ASSERT_EQ(catalog.entries().size(), 1u);
  EXPECT_EQ(catalog.entries()[0].name, "Foot");
  EXPECT_EQ(catalog.entryAt(apps / "fifo.desktop"), std::nullopt);
}

}  // namespace
}  // namespace brimwell
