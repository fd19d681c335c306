#include "linux/capture/kwin_report.h"

#include <gtest/gtest.h>

#include <string>

namespace brimwell {
namespace {

// A report as the listing script writes it: a panel (not a normal window), three windows whose
// list order differs from their stacking order, one minimised on the second desktop, one full
// screen, one X11 window through Xwayland on every desktop.
constexpr const char* kReport = R"({
  "desktops": ["Main", "Mail"],
  "active": "{b}",
  "windows": [
    {"id": "{panel}", "pid": 10, "resourceClass": "plasmashell", "caption": "Panel",
     "x": 0, "y": 760, "width": 1280, "height": 40, "stackingOrder": 9, "normal": false},
    {"id": "{a}", "pid": 20, "resourceName": "kitty", "resourceClass": "org.example.Term",
     "desktopFileName": "org.example.Term", "caption": "back", "x": 10, "y": 20, "width": 300,
     "height": 200, "minimized": true, "fullScreen": false, "desktop": 2,
     "stackingOrder": 0, "normal": true},
    {"id": "{b}", "pid": 30, "resourceName": "", "resourceClass": "",
     "desktopFileName": "org.example.Editor", "caption": "front", "x": 0, "y": 0,
     "width": 1280, "height": 800, "minimized": false, "fullScreen": true, "desktop": 1,
     "stackingOrder": 5, "normal": true},
    {"id": "{c}", "pid": 40, "resourceName": "xterm", "resourceClass": "XTerm",
     "caption": "middle", "x": 100.5, "y": 50, "width": 640, "height": 400, "desktop": -1,
     "onAllDesktops": true, "stackingOrder": 3, "normal": true}
  ]
})";

TEST(KwinReport, WindowsComeFrontToBackWithTheirFramesStatesAndDesktops) {
  const auto desktop = parseKwinReport(kReport);
  ASSERT_TRUE(desktop) << desktop.error().message();
  ASSERT_EQ(desktop->windows.size(), 3u);
  const DesktopWindow front{.id = "{b}",
                            .pid = 30,
                            .appInstance = "org.example.Editor",
                            .appClass = "org.example.Editor",
                            .title = "front",
                            .frame = Rect{0, 0, 1280, 800},
                            .fullScreen = true,
                            .workspace = "Main"};
  const DesktopWindow middle{.id = "{c}",
                             .pid = 40,
                             .appInstance = "xterm",
                             .appClass = "XTerm",
                             .title = "middle",
                             .frame = Rect{100.5, 50, 640, 400}};
  const DesktopWindow back{.id = "{a}",
                           .pid = 20,
                           .appInstance = "kitty",
                           .appClass = "org.example.Term",
                           .title = "back",
                           .frame = Rect{10, 20, 300, 200},
                           .hidden = true,
                           .workspace = "Mail"};
  EXPECT_EQ(desktop->windows[0], front);
  EXPECT_EQ(desktop->windows[1], middle);
  EXPECT_EQ(desktop->windows[2], back);
  EXPECT_EQ(desktop->active, "{b}");
}

// Hostile or damaged fields are dropped one by one; the window stays.
TEST(KwinReport, FieldsThatCannotBeAWindowsAreLeftOut) {
  struct Case {
    const char* name;
    const char* window;
    std::optional<int> pid;
    std::optional<Rect> frame;
    std::string workspace;
  };
  const Case cases[] = {
      {"negative pid", R"("pid": -4, "x": 1, "y": 2, "width": 3, "height": 4)", std::nullopt,
       Rect{1, 2, 3, 4}, ""},
      {"pid beyond an int", R"("pid": 99999999999, "x": 1, "y": 2, "width": 3, "height": 4)",
       std::nullopt, Rect{1, 2, 3, 4}, ""},
      {"pid as text", R"("pid": "12", "x": 1, "y": 2, "width": 3, "height": 4)", std::nullopt,
       Rect{1, 2, 3, 4}, ""},
      {"zero width", R"("pid": 5, "x": 1, "y": 2, "width": 0, "height": 4)", 5, std::nullopt, ""},
      {"huge coordinate", R"("pid": 5, "x": 1e300, "y": 2, "width": 3, "height": 4)", 5,
       std::nullopt, ""},
      {"missing height", R"("pid": 5, "x": 1, "y": 2, "width": 3)", 5, std::nullopt, ""},
      {"desktop past the last", R"("pid": 5, "desktop": 3)", 5, std::nullopt, ""},
      {"desktop zero", R"("pid": 5, "desktop": 0)", 5, std::nullopt, ""},
      {"named desktop", R"("pid": 5, "desktop": 1)", 5, std::nullopt, "One"},
  };
  for (const auto& c : cases) {
    const std::string report = std::string(R"({"desktops": ["One"], "windows": [{"id": "w", )") +
                               R"("normal": true, )" + c.window + "}]}";
    const auto desktop = parseKwinReport(report);
    ASSERT_TRUE(desktop) << c.name << ": " << desktop.error().message();
    ASSERT_EQ(desktop->windows.size(), 1u) << c.name;
    EXPECT_EQ(desktop->windows[0].pid, c.pid) << c.name;
    EXPECT_EQ(desktop->windows[0].frame, c.frame) << c.name;
    EXPECT_EQ(desktop->windows[0].workspace, c.workspace) << c.name;
  }
}

TEST(KwinReport, WindowsWithoutAnIdOrTwiceTheSameAndAnUnknownActiveAreDropped) {
  const auto desktop = parseKwinReport(R"({"active": "{gone}", "windows": [
      {"id": "", "normal": true}, {"normal": true}, {"id": 7, "normal": true},
      {"id": "{x}", "normal": true, "caption": "first", "stackingOrder": 1},
      {"id": "{x}", "normal": true, "caption": "again", "stackingOrder": 2}, "not a window"]})");
  ASSERT_TRUE(desktop) << desktop.error().message();
  ASSERT_EQ(desktop->windows.size(), 1u);
  EXPECT_EQ(desktop->windows[0].title, "first");
  EXPECT_FALSE(desktop->active);
}

TEST(KwinReport, TextThatIsNoReportIsRefusedWithASentence) {
  const struct {
    const char* text;
    const char* sentence;
  } cases[] = {
      {"", "KWin's window report is not JSON."},
      {"{\"windows\": [", "KWin's window report is not JSON."},
      {"[1, 2]", "KWin's window report is not JSON."},
      {"{}", "KWin's window report has no list of windows."},
      {R"({"windows": {"id": "a"}})", "KWin's window report has no list of windows."},
  };
  for (const auto& c : cases) {
    const auto desktop = parseKwinReport(c.text);
    ASSERT_FALSE(desktop) << c.text;
    EXPECT_EQ(desktop.error().message(), c.sentence) << c.text;
  }
  std::string many = R"({"windows": [)";
  for (int i = 0; i < 5000; ++i) many += std::string(i ? "," : "") + "{}";
  many += "]}";
  EXPECT_EQ(parseKwinReport(many).error().message(),
            "KWin's window report lists too many windows.");
}

}  // namespace
}  // namespace brimwell
