// The desktop on a real GNOME Shell, headless, with Brimwell's extension: windows of foot
// captured with their frames, states and stacking order, the clipboard as the Shell holds it, and
// both brought back by the restore into a session that lost them.
#include <gtest/gtest.h>

#include <algorithm>
#include <asio/io_context.hpp>

#include "brimwell/core/engine/manual_clock.h"
#include "brimwell/core/restore/restore_plan.h"
#include "linux/capture/gnome_shell.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/restore/gnome_window_control.h"
#include "linux/restore/linux_restore_executor.h"
#include "linux/restore/session_window_control.h"
#include "tests/restore/desktop_round_trip.h"
#include "tests/restore/terminal_round_trip.h"
#include "tests/support/gnome_session.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::appWithWindow;
using testing::captureNow;
using testing::GnomeSession;

std::map<std::string, DesktopWindow> gnomeWindows() {
  return testing::windowsByTitle(GnomeWindowSource());
}

bool gnomeShows(const std::vector<std::string>& titles) {
  const auto now = gnomeWindows();
  return std::all_of(titles.begin(), titles.end(), [&](const auto& t) {
    return now.contains(t) && now.at(t).frame && now.at(t).frame->width > 0;
  });
}

ClipboardRecord::Bytes bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

TEST(GnomeDesktop, WindowsAndTheClipboardAreCapturedAndComeBack) {
  GnomeSession gnome;
  ASSERT_TRUE(gnome.ready()) << gnome.error();
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  testing::enterSession(gnome.environment(), environment, home);
  const std::vector<std::string> titles = {"one", "two", "three"};
  const auto open = [&] {
    std::vector<pid_t> pids;
    for (const auto& title : titles)
      pids.push_back(gnome.launch({"foot", "-T", title, "sleep", "600"}));
    return pids;
  };
  auto foots = open();
  ASSERT_TRUE(GnomeSession::waitUntil([&] { return gnomeShows(titles); }, 10))
      << "foot (package foot) showed no windows";

  // "three" full screen in front, "one" at a known frame behind it, "two" minimised.
  const std::map<std::string, Rect> frames = {
      {"one", {60, 80, 500, 300}}, {"two", {620, 100, 420, 260}}, {"three", {200, 320, 480, 280}}};
  GnomeWindowControl control;
  GnomeShell shell;
  auto now = gnomeWindows();
  for (const auto& [title, frame] : frames) ASSERT_TRUE(control.place(now[title].id, frame));
  ASSERT_TRUE(shell.activate(now["two"].id));
  ASSERT_TRUE(control.setState(now["two"].id, true, false));
  ASSERT_TRUE(shell.activate(now["one"].id));
  ASSERT_TRUE(shell.activate(now["three"].id));
  ASSERT_TRUE(control.setState(now["three"].id, false, true));
  ASSERT_TRUE(shell.setClipboard("text/plain;charset=utf-8", bytesOf("copied words")));

  Snapshot recorded;
  std::vector<const AppRecord*> apps;
  const auto footApps = [&] {
    apps.clear();
    for (const auto& title : titles) {
      if (const AppRecord* app = appWithWindow(recorded, title)) apps.push_back(app);
    }
    std::sort(apps.begin(), apps.end(), [](auto* a, auto* b) { return a->order < b->order; });
    return apps.size() == 3 && std::all_of(apps.begin(), apps.end(), [](const AppRecord* app) {
             const auto& w = app->windows.front();
             return w.title != "three" || w.isFullScreen;
           });
  };
  ASSERT_TRUE(GnomeSession::waitUntil(
      [&] {
        recorded = captureNow();
        return footApps() && recorded.clipboard && !recorded.clipboard->items.empty();
      },
      10))
      << "the windows and the clipboard were never seen together";
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
  const ClipboardRecord::Item expectedItem = {
      {"text/plain;charset=utf-8", bytesOf("copied words")}};
  EXPECT_EQ(recorded.clipboard->items.front(), expectedItem);

  // The session empties: the windows go and something else takes the clipboard.
  for (const pid_t pid : foots) gnome.end(pid);
  ASSERT_TRUE(GnomeSession::waitUntil([&] { return gnomeWindows().empty(); }, 5));
  ASSERT_TRUE(shell.setClipboard("text/plain", bytesOf("something else")));

  // The applications come back (as a launch would bring them), and the restore places them.
  foots = open();
  ASSERT_TRUE(GnomeSession::waitUntil([&] { return gnomeShows(titles); }, 10));
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
    now = gnomeWindows();
    EXPECT_EQ(now.size(), 3u) << "the restore opened or closed windows";
    EXPECT_EQ(now["one"].frame, frames.at("one"));
    EXPECT_FALSE(now["one"].hidden);
    EXPECT_TRUE(now["two"].hidden);
    EXPECT_EQ(now["two"].frame, frames.at("two"));
    EXPECT_TRUE(now["three"].fullScreen);
  }
  const auto pasted = GnomeClipboardSource().clipboard();
  ASSERT_TRUE(pasted) << pasted.error().message();
  ASSERT_EQ(pasted->items.size(), 1u);
  EXPECT_EQ(pasted->items.front(), expectedItem);
}

// With XWayland beside it, as a desktop session has it, the Shell takes a clipboard of several
// types from an X client and offers every type to Wayland clients.
TEST(GnomeDesktop, AClipboardOfTwoTypesComesBackWholeThroughXWayland) {
  GnomeSession gnome({.xwayland = true});
  ASSERT_TRUE(gnome.ready()) << gnome.error();
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  testing::enterSession(gnome.environment(), environment, home);
  ClipboardRecord clipboard;
  clipboard.items = {{{"text/plain;charset=utf-8", bytesOf("copied words")},
                      {"text/html", bytesOf("<b>copied</b> words")}}};
  auto executor =
      testing::sessionExecutor({.clipboardServer = {BRIMWELL_TOOL_PATH, "serve-clipboard"}});
  const auto report =
      executor.executeNow({"id", {RestoreStep::restoreClipboard(clipboard)}, {}}, {});
  ASSERT_EQ(report.results.size(), 1u);
  const auto* failed = report.results[0].outcome.as<RestoreStepOutcome::Failed>();
  EXPECT_EQ(report.results[0].outcome, RestoreStepOutcome::done())
      << (failed ? failed->reason : "");
  ClipboardRecord::Item pasted;
  EXPECT_TRUE(GnomeSession::waitUntil(
      [&] {
        const auto now = GnomeClipboardSource().clipboard();
        pasted = now && !now->items.empty() ? now->items.front() : ClipboardRecord::Item{};
        return pasted.contains("text/html");
      },
      5));
  EXPECT_EQ(pasted.at("text/html"), bytesOf("<b>copied</b> words"));
  EXPECT_EQ(pasted.at("text/plain;charset=utf-8"), bytesOf("copied words"));
}

TEST(GnomeDesktop, TheToolReopensTheTerminalsWhereTheyWereAndNothingTwice) {
  GnomeSession gnome;
  ASSERT_TRUE(gnome.ready()) << gnome.error();
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  testing::enterSession(gnome.environment(), environment, home);
  testing::expectTerminalsReopened(gnome, home, TerminalKind::foot, {"foot"}, "foot",
                                   {60, 80, 500, 300});
}

TEST(GnomeDesktop, AShellWithoutTheExtensionIsOneSentence) {
  testing::PrivateBus bus;
  const auto desktop = GnomeShell(std::chrono::milliseconds(500)).windows();
  ASSERT_FALSE(desktop);
  EXPECT_EQ(
      desktop.error().message(),
      "GNOME Shell doesn't answer for Brimwell: its Brimwell extension is off (brimwell setup "
      "gnome turns it on).");
  bus.freeze();
  const auto silent = GnomeShell(std::chrono::milliseconds(300)).windows();
  bus.thaw();
  ASSERT_FALSE(silent);
  EXPECT_EQ(silent.error().message(),
            "GNOME Shell's Brimwell extension failed (the session bus didn't answer within 300 "
            "milliseconds).");
}

}  // namespace
}  // namespace brimwell
