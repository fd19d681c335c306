#include "linux/restore/recorded_window_states.h"

#include <gtest/gtest.h>

namespace brimwell {
namespace {

TEST(RecordedWindowStates, EachRecordedWindowAnswersOnceByApplicationAndFrame) {
  const Rect screen{0, 0, 1920, 1080}, corner{10, 10, 400, 300};
  AppRecord xterm{.bundleID = "xterm", .name = "XTerm"};
  xterm.windows = {{.frame = corner, .isMinimized = true, .order = 1},
                   {.frame = screen, .isFullScreen = true, .order = 2},
                   {.frame = corner, .order = 0},
                   {.title = "no frame", .isFullScreen = true}};
  AppRecord firefox{.bundleID = "org.mozilla.firefox", .name = "Firefox"};
  firefox.windows = {{.frame = screen}};
  AppRecord unnamed{.name = "Tool"};  // without a bundle id no reopened window can be its
  unnamed.windows = {{.frame = corner, .isMinimized = true}};
  RecordedWindowStates states({xterm, firefox, unnamed});
  using State = RecordedWindowStates::State;
  EXPECT_EQ(states.take("xterm", screen), (State{false, true}));
  EXPECT_EQ(states.take("xterm", screen), std::nullopt);  // answered already
  // Two windows at one frame answer in their recorded order.
  EXPECT_EQ(states.take("xterm", corner), (State{false, false}));
  EXPECT_EQ(states.take("xterm", corner), (State{true, false}));
  EXPECT_EQ(states.take("xterm", corner), std::nullopt);
  EXPECT_EQ(states.take("org.mozilla.firefox", screen), (State{false, false}));
  EXPECT_EQ(states.take("org.mozilla.firefox", corner), std::nullopt);
  EXPECT_EQ(states.take("Tool", corner), std::nullopt);
  EXPECT_EQ(RecordedWindowStates().take("xterm", screen), std::nullopt);
}

}  // namespace
}  // namespace brimwell
