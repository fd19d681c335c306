#include "linux/capture/sway_tree.h"

#include <gtest/gtest.h>

#include <string>

namespace brimwell {
namespace {

// A layout as sway's GET_TREE gives it: two outputs, a workspace with a tiled and two floating
// windows (one of them XWayland's), the scratchpad with one window, and focus lists that put the
// second floating window in front.
constexpr const char* kTree = R"({
  "id": 1, "type": "root", "name": "root", "focus": [3, 2147483647],
  "nodes": [
    {"id": 2147483647, "type": "output", "name": "__i3", "focus": [2147483646], "nodes": [
      {"id": 2147483646, "type": "workspace", "name": "__i3_scratch", "focus": [9], "nodes": [],
       "floating_nodes": [
         {"id": 9, "type": "floating_con", "name": "hidden", "app_id": "foot", "pid": 90,
          "rect": {"x": 10, "y": 20, "width": 300, "height": 200},
          "deco_rect": {"x": 0, "y": 0, "width": 0, "height": 0}, "fullscreen_mode": 0}]}]},
    {"id": 3, "type": "output", "name": "HEADLESS-1", "focus": [4], "nodes": [
      {"id": 4, "type": "workspace", "name": "1", "focus": [5, 7, 6], "nodes": [
         {"id": 5, "type": "con", "name": "tiled", "app_id": "org.example.Editor", "pid": 50,
          "focused": true,
          "rect": {"x": 0, "y": 25, "width": 1280, "height": 695},
          "deco_rect": {"x": 0, "y": 0, "width": 1280, "height": 25}, "fullscreen_mode": 0}],
       "floating_nodes": [
         {"id": 6, "type": "floating_con", "name": "back", "app_id": "foot", "pid": 60,
          "rect": {"x": 100, "y": 145, "width": 500, "height": 295},
          "deco_rect": {"x": 100, "y": 120, "width": 500, "height": 25}, "fullscreen_mode": 0},
         {"id": 7, "type": "floating_con", "name": "xw", "app_id": null, "pid": 70,
          "shell": "xwayland",
          "window_properties": {"class": "XTerm", "instance": "xterm", "title": "xw"},
          "rect": {"x": 0, "y": 0, "width": 1280, "height": 720},
          "deco_rect": {"x": 0, "y": 0, "width": 0, "height": 0}, "fullscreen_mode": 1}]}]}]
})";

TEST(SwayTree, WindowsComeFrontToBackWithTheirFramesStatesAndWorkspaces) {
  const auto layout = parseSwayTree(kTree);
  ASSERT_TRUE(layout) << layout.error().message();
  const Desktop desktop = desktopOf(*layout);
  ASSERT_EQ(desktop.windows.size(), 4u);
  struct Expected {
    const char* id;
    int pid;
    const char* appClass;
    const char* appInstance;
    Rect frame;
    bool hidden, fullScreen;
    const char* workspace;
    bool floating;
  };
  // Floating windows stand above the tiled ones, in focus order; the scratchpad comes last.
  const Expected expected[] = {
      {"7", 70, "XTerm", "xterm", {0, 0, 1280, 720}, false, true, "1", true},
      {"6", 60, "foot", "foot", {100, 120, 500, 320}, false, false, "1", true},
      {"5",
       50,
       "org.example.Editor",
       "org.example.Editor",
       {0, 0, 1280, 720},
       false,
       false,
       "1",
       false},
      {"9", 90, "foot", "foot", {10, 20, 300, 200}, true, false, "", true},
  };
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const auto& want = expected[i];
    const auto& got = layout->windows[i];
    SCOPED_TRACE(want.id);
    EXPECT_EQ(got.window.id, want.id);
    EXPECT_EQ(got.window.pid, want.pid);
    EXPECT_EQ(got.window.appClass, want.appClass);
    EXPECT_EQ(got.window.appInstance, want.appInstance);
    EXPECT_EQ(got.window.frame, want.frame);
    EXPECT_EQ(got.window.hidden, want.hidden);
    EXPECT_EQ(got.window.fullScreen, want.fullScreen);
    EXPECT_EQ(got.window.workspace, want.workspace);
    EXPECT_EQ(got.floating, want.floating);
  }
  EXPECT_EQ(desktop.active, "5");
}

TEST(SwayTree, TextThatIsntALayoutIsRefusedAndOddNodesAreLeftOut) {
  for (const char* text :
       {"", "[]", "{\"type\": \"output\"}", "{\"id\": 1, \"type\": \"root\"", "nul\0l"}) {
    EXPECT_FALSE(parseSwayTree(text)) << text;
  }
  // Containers without a client, repeated ids, a focus list naming strangers, frames of no size
  // or absurd coordinates, and a pid out of range are all survivable.
  const auto layout = parseSwayTree(R"({"id": 1, "type": "root", "focus": ["x", 99, 2],
    "nodes": [
      {"id": 2, "type": "con", "name": "split", "nodes": [
        {"id": 3, "type": "con", "name": "a", "app_id": "a", "pid": 99999999999,
         "rect": {"x": 0, "y": 0, "width": 0, "height": 10}},
        {"id": 3, "type": "con", "name": "again", "app_id": "a"},
        {"id": 4, "type": "con", "name": "b", "app_id": "b", "pid": 4,
         "rect": {"x": 1e300, "y": 0, "width": 10, "height": 10}},
        "not a node", 7]}]})");
  ASSERT_TRUE(layout) << layout.error().message();
  ASSERT_EQ(layout->windows.size(), 2u);
  EXPECT_EQ(layout->windows[0].window.title, "a");
  EXPECT_EQ(layout->windows[0].window.pid, std::nullopt);
  EXPECT_EQ(layout->windows[0].window.frame, std::nullopt);
  EXPECT_EQ(layout->windows[1].window.frame, std::nullopt);
}

TEST(SwayTree, ADeepTreeIsWalkedWithoutRecursion) {
  std::string tree = R"({"id": 0, "type": "root", "nodes": [)";
  constexpr int kDepth = 20000;
  for (int i = 1; i < kDepth; ++i) {
    tree += R"({"id": )" + std::to_string(i) + R"(, "type": "con", "nodes": [)";
  }
  tree += R"({"id": 99999, "type": "con", "name": "deep", "app_id": "deep", "pid": 5})";
  for (int i = 1; i < kDepth; ++i) tree += "]}";
  tree += "]}";
  const auto layout = parseSwayTree(tree);
  ASSERT_TRUE(layout) << layout.error().message();
  ASSERT_EQ(layout->windows.size(), 1u);
  EXPECT_EQ(layout->windows[0].window.title, "deep");
}

}  // namespace
}  // namespace brimwell
