#include "linux/capture/gnome_shell_windows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace brimwell {
namespace {

// A list as the extension's Windows() gives it: a focused editor in front, a minimised terminal
// without a desktop file, a full-screen window on all workspaces, and a dialog of unknown process.
constexpr const char* kList = R"({"windows": [
  {"id": "2148366653", "pid": 40, "wmClass": "org.example.Editor",
   "app": "org.example.Editor.desktop", "title": "notes.txt",
   "frame": {"x": 100, "y": 50, "width": 640, "height": 480}, "workspace": 0,
   "minimized": false, "fullScreen": false, "focus": true},
  {"id": "12", "pid": 41, "wmClass": "foot", "app": "", "title": "shell",
   "frame": {"x": -20, "y": 0, "width": 300, "height": 200}, "workspace": 1,
   "minimized": true, "fullScreen": false, "focus": false},
  {"id": "13", "pid": 42, "wmClass": "player", "app": "player.desktop", "title": "film",
   "frame": {"x": 0, "y": 0, "width": 1280, "height": 800}, "workspace": -1,
   "minimized": false, "fullScreen": true, "focus": false},
  {"id": "14", "pid": 0, "wmClass": "", "app": "", "title": "",
   "frame": {"x": 0, "y": 0, "width": 0, "height": 10}, "workspace": 0}
]})";

TEST(GnomeShellWindows, WindowsComeFrontToBackWithTheirAppsFramesStatesAndWorkspaces) {
  const auto desktop = parseGnomeWindows(kList);
  ASSERT_TRUE(desktop) << desktop.error().message();
  const std::vector<DesktopWindow> expected = {
      {.id = "2148366653",
       .pid = 40,
       .appInstance = "org.example.Editor",
       .appClass = "org.example.Editor",
       .title = "notes.txt",
       .frame = Rect{100, 50, 640, 480},
       .workspace = "1"},
      {.id = "12",
       .pid = 41,
       .appInstance = "foot",
       .appClass = "foot",
       .title = "shell",
       .frame = Rect{-20, 0, 300, 200},
       .hidden = true,
       .workspace = "2"},
      {.id = "13",
       .pid = 42,
       .appInstance = "player",
       .appClass = "player",
       .title = "film",
       .frame = Rect{0, 0, 1280, 800},
       .fullScreen = true},
      {.id = "14", .workspace = "1"},
  };
  EXPECT_EQ(desktop->windows, expected);
  EXPECT_EQ(desktop->active, "2148366653");
}

TEST(GnomeShellWindows, HostileFieldsAreDroppedNotBelieved) {
  struct Case {
    const char* name;
    const char* window;
    DesktopWindow expected;
  };
  const std::vector<Case> cases = {
      {"a pid beyond an int", R"({"id": "5", "pid": 4294967296})", {.id = "5"}},
      {"a negative pid", R"({"id": "5", "pid": -3})", {.id = "5"}},
      {"a pid given as text", R"({"id": "5", "pid": "7"})", {.id = "5"}},
      {"a frame far off any screen",
       R"({"id": "5", "frame": {"x": 1e300, "y": 0, "width": 10, "height": 10}})",
       {.id = "5"}},
      {"a frame with a negative size",
       R"({"id": "5", "frame": {"x": 0, "y": 0, "width": -10, "height": 10}})",
       {.id = "5"}},
      {"states that aren't booleans",
       R"({"id": "5", "minimized": 1, "fullScreen": "yes"})",
       {.id = "5"}},
      {"a workspace out of range", R"({"id": "5", "workspace": 100000})", {.id = "5"}},
      {"a title that isn't text", R"({"id": "5", "title": ["x"], "wmClass": 3})", {.id = "5"}},
  };
  for (const auto& c : cases) {
    const auto desktop = parseGnomeWindows(std::string(R"({"windows": [)") + c.window + "]}");
    ASSERT_TRUE(desktop) << c.name;
    ASSERT_EQ(desktop->windows.size(), 1u) << c.name;
    EXPECT_EQ(desktop->windows[0], c.expected) << c.name;
  }
}

TEST(GnomeShellWindows, WindowsWithoutAUsableIdAreSkipped) {
  const auto desktop = parseGnomeWindows(
      R"({"windows": [{"id": 5}, {"id": "0"}, {"id": "007"}, {"id": "-1"}, {"id": "1x"},
                      {"id": "99999999999999999999"}, {"id": "6"}, {"id": "6"}, "7", null]})");
  ASSERT_TRUE(desktop);
  ASSERT_EQ(desktop->windows.size(), 1u);
  EXPECT_EQ(desktop->windows[0].id, "6");
}

TEST(GnomeShellWindows, ARefusedListSaysWhyInOneSentence) {
  struct Case {
    std::string reply;
    const char* sentence;
  };
  std::string many = R"({"windows": [)";
  for (std::size_t i = 1; i <= kGnomeMaxWindows + 1; ++i) {
    many += (i > 1 ? "," : "") + std::string(R"({"id": ")") + std::to_string(i) + "\"}";
  }
  many += "]}";
  const std::vector<Case> cases = {
      {"", "GNOME Shell's window list isn't readable."},
      {"{\"windows\": [", "GNOME Shell's window list isn't readable."},
      {"[]", "GNOME Shell's window list isn't readable."},
      {R"({"windows": {}})", "GNOME Shell's window list isn't readable."},
      {many, "GNOME Shell lists too many windows."},
      {std::string(kGnomeMaxReplyBytes + 1, ' '), "GNOME Shell's window list is too large."},
  };
  for (const auto& c : cases) {
    const auto desktop = parseGnomeWindows(c.reply);
    ASSERT_FALSE(desktop) << c.reply.substr(0, 40);
    EXPECT_EQ(desktop.error().message(), c.sentence);
  }
}

TEST(GnomeShellWindows, OnlyTheBackendsOwnIdsNameAShellWindow) {
  EXPECT_EQ(gnomeWindowNumber("2148366653"), 2148366653u);
  EXPECT_EQ(gnomeWindowNumber("18446744073709551615"), 18446744073709551615u);
  for (const char* id : {"", "0", "01", "+1", "1 ", "0x10", "18446744073709551616"}) {
    EXPECT_FALSE(gnomeWindowNumber(id)) << id;
  }
}

}  // namespace
}  // namespace brimwell
