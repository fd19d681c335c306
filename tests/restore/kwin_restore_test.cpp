// The desktop on a real KWin, headless: kitty windows captured with their frames, states and
// stacking order through KWin's scripting interface, a clipboard of two types from wl-copy, and
// both brought back by the restore into an emptied session, twice without opening anything.
// (The tests open kitty windows: foot divides by the physical size of KWin's virtual output,
// which KWin gives as unknown, and dies on the signal.)
#include <gtest/gtest.h>

#include <algorithm>
#include <asio/io_context.hpp>

#include "brimwell/core/engine/manual_clock.h"
#include "brimwell/core/restore/restore_plan.h"
#include "linux/capture/child_command.h"
#include "linux/capture/kwin_window_source.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/restore/kwin_window_control.h"
#include "linux/restore/linux_restore_executor.h"
#include "linux/restore/session_window_control.h"
#include "tests/restore/desktop_round_trip.h"
#include "tests/restore/terminal_round_trip.h"
#include "tests/support/kwin_session.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::appWithWindow;
using testing::captureNow;
using testing::KwinSession;
using testing::seen;

std::map<std::string, DesktopWindow> kwinWindows() {
  return testing::windowsByTitle(KwinWindowSource());
}

bool kwinShows(const std::vector<std::string>& titles) {
  return testing::showsTitles(kwinWindows(), titles);
}

std::vector<std::string> kitty(const std::string& title) {
  return {"kitty", "-o", "linux_display_server=wayland", "-T", title, "sleep", "600"};
}

const Rect kFullScreen{0, 0, 1280, 800};

TEST(KwinDesktop, WindowsAndAClipboardOfTwoTypesAreCapturedAndComeBack) {
  KwinSession kwin;
  ASSERT_TRUE(kwin.ready()) << kwin.error();
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  testing::enterSession(kwin.environment(), environment, home);
  const std::vector<std::string> titles = {"one", "two", "three"};
  const auto open = [&] {
    std::vector<pid_t> pids;
    for (const auto& title : titles) pids.push_back(kwin.launch(kitty(title)));
    return pids;
  };
  auto kitties = open();
  // The listing that shows every window is the one they are placed by: one listing more may
  // come back from a KWin still busy mapping them without one of them.
  std::map<std::string, DesktopWindow> now;
  ASSERT_TRUE(KwinSession::waitUntil(
      [&] {
        now = kwinWindows();
        return testing::showsTitles(now, titles);
      },
      15))
      << "kitty (package kitty) showed no windows on KWin";

  // Raised one after another, so "three" is in front, then "one", then "two" (minimised).
  const std::map<std::string, Rect> frames = {
      {"one", {60, 40, 500, 300}}, {"two", {620, 80, 420, 260}}, {"three", {200, 300, 480, 280}}};
  KwinWindowControl control;
  for (const auto& [title, frame] : frames) {
    const Status placed = control.place(now[title].id, frame);
    ASSERT_TRUE(placed) << title << ": " << placed.error().message();
  }
  const KwinScripting scripting;
  for (const char* title : {"two", "one", "three"}) {
    ASSERT_TRUE(placeKwinWindow(scripting, {.id = now[title].id, .activate = true}));
  }
  ASSERT_TRUE(control.setState(now["two"].id, true, false));
  ASSERT_TRUE(control.setState(now["three"].id, false, true));
  const pid_t copier = kwin.launch({"wl-copy", "--foreground", "copied words"});

  Snapshot recorded;
  std::vector<const AppRecord*> apps;
  const auto kittyApps = [&] {
    apps.clear();
    for (const auto& title : titles) {
      if (const AppRecord* app = appWithWindow(recorded, title)) apps.push_back(app);
    }
    std::sort(apps.begin(), apps.end(), [](auto* a, auto* b) { return a->order < b->order; });
    return apps.size() == 3;
  };
  // KWin applies a Wayland window's new frame and states once the client answers.
  const auto settled = [&] {
    for (const AppRecord* app : apps) {
      if (app->windows.size() != 1) return false;
      const WindowRecord& w = app->windows.front();
      if (w.isMinimized != (w.title == "two") || w.isFullScreen != (w.title == "three")) {
        return false;
      }
      if (w.frame != (w.title == "three" ? kFullScreen : frames.at(w.title))) return false;
    }
    return true;
  };
  ASSERT_TRUE(KwinSession::waitUntil(
      [&] {
        recorded = captureNow();
        return kittyApps() && settled() && recorded.clipboard && !recorded.clipboard->items.empty();
      },
      10))
      << "the windows in their states and the clipboard (package wl-clipboard) were never seen "
         "together: "
      << seen(recorded);
  std::vector<std::string> order;
  for (const AppRecord* app : apps) {
    EXPECT_EQ(app->windowsStatus, CaptureStatus::ok);
    order.push_back(app->windows.front().title);
  }
  EXPECT_EQ(order, (std::vector<std::string>{"three", "one", "two"}));
  const auto item = recorded.clipboard->items.front();
  ASSERT_GE(item.size(), 2u);
  const std::string words = "copied words";
  EXPECT_EQ(item.at("text/plain;charset=utf-8"),
            ClipboardRecord::Bytes(words.begin(), words.end()));

  // The session empties: the windows and the clipboard's owner go.
  kwin.end(copier);
  for (const pid_t pid : kitties) kwin.end(pid);
  ASSERT_TRUE(KwinSession::waitUntil([&] { return kwinWindows().empty(); }, 5));

  // The applications come back (as a launch would bring them), and the restore places them.
  kitties = open();
  ASSERT_TRUE(KwinSession::waitUntil([&] { return kwinShows(titles); }, 15));
  auto executor =
      testing::sessionExecutor({.clipboardServer = {BRIMWELL_TOOL_PATH, "serve-clipboard"}});
  RestorePlan plan{"id", {}, {}};
  for (const AppRecord* app : apps) plan.steps.push_back(RestoreStep::placeWindows(*app));
  plan.steps.push_back(RestoreStep::restoreClipboard(*recorded.clipboard));
  const auto restored = [&] {
    now = kwinWindows();
    return now.size() == 3 && now["one"].frame == frames.at("one") && !now["one"].hidden &&
           now["two"].hidden && now["two"].frame == frames.at("two") && now["three"].fullScreen &&
           now["three"].frame == kFullScreen;
  };
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "first run" : "second run");
    const auto report = executor.executeNow(plan, {});
    for (const auto& result : report.results) {
      const auto* failed = result.outcome.as<RestoreStepOutcome::Failed>();
      EXPECT_EQ(result.outcome, RestoreStepOutcome::done()) << (failed ? failed->reason : "");
    }
    EXPECT_TRUE(KwinSession::waitUntil(restored, 5))
        << "one at " << (now["one"].frame ? now["one"].frame->x : -1) << ", two hidden "
        << now["two"].hidden << ", three full screen " << now["three"].fullScreen;
    EXPECT_EQ(now.size(), 3u) << "the restore opened or closed windows";
  }
  for (const auto& [type, bytes] : item) {
    const auto pasted = runChild({"wl-paste", "--no-newline", "--type", type}, 5);
    ASSERT_TRUE(pasted && pasted->exitStatus == 0) << type;
    EXPECT_EQ(pasted->out, std::string(bytes.begin(), bytes.end())) << type;
  }
}

// KWin's answers are someone else's bytes: a script that answers too much, or something else, or
// not at all, is one sentence, in bounded time.
TEST(KwinDesktop, TheToolReopensTheTerminalsWhereTheyWereAndNothingTwice) {
  KwinSession kwin;
  ASSERT_TRUE(kwin.ready()) << kwin.error();
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  testing::enterSession(kwin.environment(), environment, home);
  testing::expectTerminalsReopened(kwin, home, TerminalKind::kitty,
                                   {"kitty", "-o", "linux_display_server=wayland"}, "kitty",
                                   {60, 80, 500, 300});
}

TEST(KwinDesktop, AScriptThatAnswersTooMuchWrongOrNotAtAllIsOneSentence) {
  KwinSession kwin;
  ASSERT_TRUE(kwin.ready()) << kwin.error();
  const struct {
    const char* name;
    std::string body;
    std::size_t ceiling;
    const char* sentence;
  } cases[] = {
      {"too much", "var s = 'x'; while (s.length < 5000) s += s; ANSWER(s);", 4096,
       "KWin's script answered with more than this program reads."},
      {"silent", "var quiet = true;", 4096, "KWin's script didn't answer in time."},
      {"a wrong token", "callDBus(BUS, PATH, IFACE, METHOD, 'other', 'x');", 4096,
       "KWin's script didn't answer in time."},
  };
  for (const auto& c : cases) {
    const KwinScripting scripting(0.8, c.ceiling);
    const auto started = std::chrono::steady_clock::now();
    const auto answer = scripting.run([&](const KwinReplyAddress& reply) -> Result<std::string> {
      const auto quoted = [](const std::string& s) { return "'" + s + "'"; };
      std::string body = c.body;
      const auto replace = [&](const std::string& from, const std::string& to) {
        for (auto at = body.find(from); at != std::string::npos; at = body.find(from, at + 1)) {
          body.replace(at, from.size(), to);
        }
      };
      replace("ANSWER(", "callDBus(BUS, PATH, IFACE, METHOD, " + quoted(reply.token) + ", ");
      replace("BUS", quoted(reply.busName));
      replace("PATH", quoted(reply.path));
      replace("IFACE", quoted(reply.interface));
      replace("METHOD", quoted(reply.method));
      return body;
    });
    ASSERT_FALSE(answer) << c.name;
    EXPECT_EQ(answer.error().message(), c.sentence) << c.name;
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3)) << c.name;
  }
  // Without KWin on the bus the run says so at once.
  testing::PrivateBus empty;
  const auto answer = KwinScripting(1).run(
      [](const KwinReplyAddress&) -> Result<std::string> { return std::string("callDBus();"); });
  ASSERT_FALSE(answer);
  EXPECT_EQ(answer.error().message(), "KWin isn't running on the session bus.");
}

}  // namespace
}  // namespace brimwell
