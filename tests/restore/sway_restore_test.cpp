// The desktop on a real sway, headless: windows of foot captured with their frames, states and
// order, a clipboard of several types from wl-copy, and both brought back by the restore; an
// XWayland window recorded once; a desktop without a backend saying so for each placement.
#include <gtest/gtest.h>

#include <algorithm>
#include <asio/io_context.hpp>

#include "brimwell/core/engine/manual_clock.h"
#include "brimwell/core/restore/restore_plan.h"
#include "linux/capture/child_command.h"
#include "linux/capture/i3_ipc.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/capture/sway_ipc.h"
#include "linux/restore/linux_restore_executor.h"
#include "linux/restore/session_window_control.h"
#include "linux/restore/sway_window_control.h"
#include "tests/restore/desktop_round_trip.h"
#include "tests/restore/terminal_round_trip.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/sway_session.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::appWithWindow;
using testing::captureNow;
using testing::seen;
using testing::SwaySession;

std::map<std::string, DesktopWindow> swayWindows() {
  return testing::windowsByTitle(SwayWindowSource());
}

bool swayShows(const std::vector<std::string>& titles) {
  return testing::showsTitles(swayWindows(), titles);
}

constexpr const char* kFloatingFoot = "for_window [app_id=\"foot\"] floating enable";

TEST(SwayDesktop, WindowsAndAClipboardOfSeveralTypesAreCapturedAndComeBack) {
  SwaySession sway(kFloatingFoot);
  ASSERT_TRUE(sway.ready()) << sway.error();
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  testing::enterSession(sway.environment(), environment, home);
  const std::vector<std::string> titles = {"one", "two", "three"};
  const auto open = [&] {
    std::vector<pid_t> pids;
    for (const auto& title : titles)
      pids.push_back(sway.launch({"foot", "-T", title, "sleep", "600"}));
    return pids;
  };
  auto foots = open();
  ASSERT_TRUE(SwaySession::waitUntil([&] { return swayShows(titles); }, 10))
      << "foot (package foot) showed no windows";

  // One full screen in front, one at a known frame behind it, one minimised. (sway leaves full
  // screen when another window of the workspace takes the focus, so the full-screen one is last.)
  const std::map<std::string, Rect> frames = {
      {"one", {60, 40, 500, 300}}, {"two", {620, 80, 420, 260}}, {"three", {200, 300, 480, 280}}};
  SwayWindowControl control;
  auto now = swayWindows();
  for (const auto& [title, frame] : frames) ASSERT_TRUE(control.place(now[title].id, frame));
  ASSERT_TRUE(control.setState(now["two"].id, true, false));
  ASSERT_TRUE(SwayIpc().run(now["one"].id, "focus"));
  ASSERT_TRUE(SwayIpc().run(now["three"].id, "focus"));
  ASSERT_TRUE(control.setState(now["three"].id, false, true));
  const pid_t copier = sway.launch({"wl-copy", "--foreground", "copied words"});

  // Each foot is a process of its own, so each window is an application's.
  Snapshot recorded;
  std::vector<const AppRecord*> apps;
  const auto footApps = [&] {
    apps.clear();
    for (const auto& title : titles) {
      if (const AppRecord* app = appWithWindow(recorded, title)) apps.push_back(app);
    }
    std::sort(apps.begin(), apps.end(), [](auto* a, auto* b) { return a->order < b->order; });
    return apps.size() == 3;
  };
  ASSERT_TRUE(SwaySession::waitUntil(
      [&] {
        recorded = captureNow();
        return footApps() && recorded.clipboard && !recorded.clipboard->items.empty();
      },
      10))
      << "the windows and the clipboard (package wl-clipboard) were never seen together: "
      << seen(recorded);
  std::vector<std::string> order;
  for (const AppRecord* app : apps) {
    ASSERT_EQ(app->windows.size(), 1u);
    EXPECT_EQ(app->windowsStatus, CaptureStatus::ok);
    EXPECT_EQ(app->name, "Foot");
    const WindowRecord& w = app->windows.front();
    order.push_back(w.title);
    SCOPED_TRACE(w.title);
    EXPECT_EQ(w.isMinimized, w.title == "two");
    EXPECT_EQ(w.isFullScreen, w.title == "three");
    if (w.title != "three") {
      EXPECT_EQ(w.frame, frames.at(w.title));
    }
  }
  EXPECT_EQ(order, (std::vector<std::string>{"three", "one", "two"}));
  const auto item = recorded.clipboard->items.front();
  ASSERT_GE(item.size(), 2u);
  const std::string words = "copied words";
  EXPECT_EQ(item.at("text/plain;charset=utf-8"),
            ClipboardRecord::Bytes(words.begin(), words.end()));

  // The session empties: the windows and the clipboard's owner go.
  sway.end(copier);
  for (const pid_t pid : foots) sway.end(pid);
  ASSERT_TRUE(SwaySession::waitUntil([&] { return swayWindows().empty(); }, 5));
  ASSERT_NE(runChild({"wl-paste", "--no-newline"}, 5)->exitStatus, 0) << "the clipboard stayed";

  // The applications come back (as a launch would bring them), and the restore places them.
  foots = open();
  ASSERT_TRUE(SwaySession::waitUntil([&] { return swayShows(titles); }, 10));
  auto executor =
      testing::sessionExecutor({.clipboardServer = {BRIMWELL_TOOL_PATH, "serve-clipboard"}});
  RestorePlan plan{"id", {}, {}};
  for (const AppRecord* app : apps) plan.steps.push_back(RestoreStep::placeWindows(*app));
  plan.steps.push_back(RestoreStep::restoreClipboard(*recorded.clipboard));
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "first run" : "second run");
    const auto report = executor.executeNow(plan, {});
    for (const auto& result : report.results) {
      const auto* failed = result.outcome.as<RestoreStepOutcome::Failed>();
      EXPECT_EQ(result.outcome, RestoreStepOutcome::done()) << (failed ? failed->reason : "");
    }
    now = swayWindows();
    EXPECT_EQ(now.size(), 3u) << "the restore opened or closed windows";
    EXPECT_EQ(now["one"].frame, frames.at("one"));
    EXPECT_FALSE(now["one"].hidden);
    EXPECT_TRUE(now["two"].hidden);
    EXPECT_EQ(now["two"].frame, frames.at("two"));
    EXPECT_TRUE(now["three"].fullScreen);
  }
  for (const auto& [type, bytes] : item) {
    const auto pasted = runChild({"wl-paste", "--no-newline", "--type", type}, 5);
    ASSERT_TRUE(pasted && pasted->exitStatus == 0) << type;
    EXPECT_EQ(pasted->out, std::string(bytes.begin(), bytes.end())) << type;
  }
}

TEST(SwayDesktop, TheToolReopensTheTerminalsWhereTheyWereAndNothingTwice) {
  SwaySession sway(kFloatingFoot);
  ASSERT_TRUE(sway.ready()) << sway.error();
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  testing::enterSession(sway.environment(), environment, home);
  testing::expectTerminalsReopened(sway, home, TerminalKind::foot, {"foot"}, "foot",
                                   {60, 40, 500, 300});
}

TEST(SwayDesktop, AnXWaylandWindowIsRecordedOnce) {
  SwaySession sway;
  ASSERT_TRUE(sway.ready()) << sway.error();
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  testing::enterSession(sway.environment(), environment, home);
  // sway starts the client itself, with the DISPLAY of its XWayland.
  ASSERT_TRUE(i3Request(sway.swaySocket(), I3Message::runCommand, "exec xterm -T xw", 5));
  ASSERT_TRUE(SwaySession::waitUntil([&] { return swayShows({"xw"}); }, 15))
      << "xterm showed no window through XWayland (packages xwayland, xterm)";
  EXPECT_EQ(swayWindows()["xw"].appClass, "XTerm");
  const Snapshot recorded = captureNow();
  int seen = 0;
  for (const auto& app : recorded.apps) {
    seen += static_cast<int>(std::count_if(app.windows.begin(), app.windows.end(),
                                           [](const WindowRecord& w) { return w.title == "xw"; }));
  }
  EXPECT_EQ(seen, 1);
  (void)i3Request(sway.swaySocket(), I3Message::runCommand, "[title=\"^xw$\"] kill", 5);
}

TEST(DesktopWithoutBackend, CapturesApplicationsAndRefusesEachPlacementInOneSentence) {
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  environment.set("XDG_SESSION_TYPE", "wayland");
  environment.set("WAYLAND_DISPLAY", "wayland-unknown");
  environment.set("XDG_CURRENT_DESKTOP", "Unknown");
  environment.set("SWAYSOCK", "");
  environment.set("DISPLAY", "");
  environment.set("HOME", home.path().string());
  environment.set("TMUX_TMPDIR", home.path().string());
  const Snapshot recorded = captureNow();
  for (const auto& app : recorded.apps) {
    EXPECT_EQ(app.windowsStatus, CaptureStatus::unsupported) << app.name;
  }
  auto executor = testing::sessionExecutor({.windowWait = 0.2});
  AppRecord editor{.name = "Editor"};
  editor.windows = {{.title = "notes", .frame = Rect{10, 10, 300, 200}}};
  const auto report = executor.executeNow({"id", {RestoreStep::placeWindows(editor)}, {}}, {});
  ASSERT_EQ(report.results.size(), 1u);
  EXPECT_EQ(report.results[0].outcome,
            RestoreStepOutcome::failed(
                "The windows of Editor can't be listed: this desktop doesn't let Brimwell see or "
                "place its windows."));
}

}  // namespace
}  // namespace brimwell
