// `brimwell restore` on a private X server: a desktop of xterms, a tmux server and an xclip-owned
// clipboard is recorded, emptied, and brought back; then restored again, which opens nothing new.
#include "linux/restore/linux_restore_executor.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <fstream>
#include <map>

#include "brimwell/core/engine/manual_clock.h"
#include "brimwell/core/journal/journal_store.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "linux/capture/child_command.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/capture/x11_clipboard_source.h"
#include "linux/capture/x11_display.h"
#include "linux/capture/xcb_window_source.h"
#include "tests/cli/run_tool.h"
#include "tests/restore/desktop_round_trip.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_session.h"

namespace brimwell {
namespace {

using testing::XSession;

using testing::captureNow;
using testing::directories;
using testing::terminal;

// Ends the test's tmux server however the test ends.
struct TmuxServerGuard {
  ~TmuxServerGuard() { (void)runChild({"tmux", "kill-server"}, 5); }
};

std::string describe(const std::vector<Rect>& recorded, const std::vector<DesktopWindow>& now) {
  const auto text = [](const Rect& r) {
    return std::to_string(int(r.x)) + "," + std::to_string(int(r.y)) + " " +
           std::to_string(int(r.width)) + "x" + std::to_string(int(r.height)) + " ";
  };
  std::string out = "recorded ";
  for (const auto& frame : recorded) out += text(frame);
  out += "now ";
  for (const auto& window : now) out += window.frame ? text(*window.frame) : "none ";
  return out;
}

TEST(X11Restore, ARecordedDesktopComesBackOnceWithAFailedStepReported) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  testing::TempDir dirs;
  std::filesystem::create_directories(dirs / "alpha");
  std::filesystem::create_directories(dirs / "beta");
  std::filesystem::create_directories(dirs / "tmux");
  std::filesystem::create_directories(dirs / "support");
  const auto alpha = std::filesystem::canonical(dirs / "alpha").string();
  const auto beta = std::filesystem::canonical(dirs / "beta").string();
  // The tool and every client it starts see this display and a tmux server of the test's own.
  testing::ScopedEnvironment environment;
  environment.set("DISPLAY", x.display());
  environment.set("TMUX_TMPDIR", (dirs / "tmux").string());
  environment.set("SHELL", "/bin/sh");
  environment.set("HOME", dirs.path().string());  // no desktop files or browsers of the user's
  TmuxServerGuard tmuxServer;

  // The desktop to record.
  const pid_t first = x.launch({"xterm", "-geometry", "80x24+100+50"}, alpha);
  ASSERT_TRUE(x.windowOf(first)) << "xterm (package xterm) showed no window";
  const pid_t second = x.launch({"xterm", "-geometry", "60x20+600+400"}, beta);
  ASSERT_TRUE(x.windowOf(second));
  ASSERT_TRUE(
      runChild({"tmux", "new-session", "-d", "-s", "notes", "-n", "editor", "-c", alpha}, 5))
      << "tmux is needed";
  ASSERT_TRUE(runChild({"tmux", "split-window", "-t", "notes", "-c", beta}, 5));
  { std::ofstream(dirs / "clip.txt") << "copied words"; }
  const pid_t clip = x.launch(
      {"sh", "-c", "exec xclip -quiet -selection clipboard -i " + (dirs / "clip.txt").string()});
  Snapshot recorded;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        recorded = captureNow();
        return recorded.clipboard && !recorded.clipboard->items.empty() &&
               directories(terminal(recorded, TerminalKind::xterm)) ==
                   std::multiset<std::string>{alpha, beta};
      },
      10))
      << "the clipboard and both shells' directories were never seen";
  ASSERT_EQ(directories(terminal(recorded, TerminalKind::tmux)),
            (std::multiset<std::string>{alpha, beta}));
  // An application whose program is gone since.
  recorded.apps.push_back(
      {.path = "/nonexistent/brimwell-test-editor", .name = "Gone Editor", .order = 99});
  recorded.id = "20260301T140509.250Z";
  const BrimwellPaths paths{dirs / "support", dirs / "rescued"};
  ASSERT_TRUE(SnapshotStore(paths).save(recorded));
  JournalStore journals(paths);
  ASSERT_TRUE(journals.write({.heartbeat = recorded.meta.createdAt,
                              .pendingRestoreSnapshotID = recorded.id,
                              .pendingRestoreKind = PendingRestoreKind::ranOutOfBattery,
                              .pendingRestoreAt = recorded.meta.createdAt}));
  const auto recordedTargets = recorded.clipboard->items.front();
  std::vector<Rect> frames;
  for (const auto& window : terminal(recorded, TerminalKind::xterm).windows) {
    ASSERT_TRUE(window.bounds);
    frames.push_back(*window.bounds);
  }

  // The empty desktop.
  x.end(first);
  x.end(second);
  x.end(clip);
  ASSERT_TRUE(runChild({"tmux", "kill-server"}, 5));
  ASSERT_TRUE(XSession::waitUntil(
      [&] { return testing::windowsOfClass(x.display(), "XTerm").empty(); }, 10));
  const std::string support = (dirs / "support").string();

  const auto dry = testing::runTool({"restore", recorded.id, "--support", support, "--dry-run"});
  ASSERT_EQ(dry.status, 0) << dry.err;
  EXPECT_NE(dry.out.find("Launch Gone Editor"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("Open a tmux window in " + alpha + " with 2 tabs"), std::string::npos)
      << dry.out;
  EXPECT_NE(dry.out.find("Restore the clipboard"), std::string::npos) << dry.out;
  const auto dryLines = testing::lines(dry.out);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_TRUE(testing::windowsOfClass(x.display(), "XTerm").empty())
      << "the dry run opened a window";
  EXPECT_NE(runChild({"tmux", "has-session"}, 5)->exitStatus, 0) << "the dry run started tmux";
  EXPECT_EQ(journals.read()->pendingRestoreSnapshotID, recorded.id);

  const auto run = testing::runTool({"restore", recorded.id, "--support", support});
  EXPECT_EQ(run.status, 1) << run.out << run.err;  // one step failed
  const auto lines = testing::lines(run.out);
  const auto starting = [&](const std::string& prefix) {
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  };
  // Every planned step is reported (the dry run's lines but its heading), only one failed.
  EXPECT_EQ(starting("  done ") + starting("  skipped ") + starting("  failed "),
            std::ptrdiff_t(dryLines.size() - 1))
      << run.out;
  EXPECT_EQ(starting("  failed "), 1) << run.out;
  EXPECT_NE(run.out.find("  failed   Launch Gone Editor: Gone Editor can't be started: no such "
                         "file or directory."),
            std::string::npos)
      << run.out;
  EXPECT_EQ(journals.read()->pendingRestoreSnapshotID, std::nullopt);

  // The windows at their recorded frames, the shells and panes in their directories.
  ASSERT_TRUE(XSession::waitUntil(
      [&] { return testing::windowsOfClass(x.display(), "XTerm").size() == 2; }, 10));
  std::vector<DesktopWindow> now;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        now = testing::windowsOfClass(x.display(), "XTerm");
        return std::all_of(frames.begin(), frames.end(), [&](const Rect& frame) {
          return std::any_of(now.begin(), now.end(), [&](const DesktopWindow& w) {
            return w.frame && std::abs(w.frame->x - frame.x) <= 2 &&
                   std::abs(w.frame->y - frame.y) <= 2 &&
                   std::abs(w.frame->width - frame.width) <= 2 &&
                   std::abs(w.frame->height - frame.height) <= 2;
          });
        });
      },
      5))
      << describe(frames, now);
  Snapshot restored;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        restored = captureNow();
        return directories(terminal(restored, TerminalKind::xterm)) ==
               std::multiset<std::string>{alpha, beta};
      },
      10));
  EXPECT_EQ(directories(terminal(restored, TerminalKind::tmux)),
            (std::multiset<std::string>{alpha, beta}));
  // The tmux window is back in its session, under its name.
  const auto names =
      runChild({"tmux", "list-windows", "-a", "-F", "#{session_name}:#{window_name}"}, 5);
  ASSERT_TRUE(names);
  EXPECT_EQ(names->out, "notes:editor\n");

  // The clipboard offers every recorded target, with the recorded bytes.
  const auto targets = runChild({"xclip", "-o", "-selection", "clipboard", "-t", "TARGETS"}, 5);
  ASSERT_TRUE(targets && targets->exitStatus == 0);
  for (const auto& [target, bytes] : recordedTargets) {
    EXPECT_NE(targets->out.find(target), std::string::npos) << target << " in " << targets->out;
    const auto data = runChild({"xclip", "-o", "-selection", "clipboard", "-t", target}, 5);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->out, std::string(bytes.begin(), bytes.end())) << target;
  }

  // Again: everything is open now, so only the missing program is tried.
  const auto again = testing::runTool({"restore", recorded.id, "--support", support});
  EXPECT_EQ(again.status, 1);
  EXPECT_EQ(testing::lines(again.out).size(), 3u) << again.out;  // progress, summary, the step
  EXPECT_NE(again.out.find("Launch Gone Editor"), std::string::npos) << again.out;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(testing::windowsOfClass(x.display(), "XTerm").size(), 2u);
  EXPECT_EQ(directories(terminal(captureNow(), TerminalKind::tmux)).size(), 2u);
}

TEST(X11Restore, AClipboardOfSeveralTargetsComesBackInEachOfThem) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  testing::TempDir dirs;
  testing::ScopedEnvironment environment;
  environment.set("DISPLAY", x.display());
  environment.set("TMUX_TMPDIR", dirs.path().string());
  environment.set("HOME", dirs.path().string());
  // xterm takes the clipboard through its selection escape, in four encodings of the text.
  const pid_t owner = x.launch(
      {"xterm", "-xrm", "XTerm*disallowedWindowOps: 20,21,SetXprop", "-e", "sh", "-c",
       "printf '\\033]52;c;%s\\007' \"$(printf 'caf\\303\\251' | base64)\"; exec sleep 600"});
  Snapshot recorded;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        recorded = captureNow();
        return recorded.clipboard && !recorded.clipboard->items.empty();
      },
      10))
      << "xterm never took the clipboard";
  const auto item = recorded.clipboard->items.front();
  ASSERT_GE(item.size(), 2u);
  recorded.id = "20260301T140509.250Z";
  const BrimwellPaths paths{dirs / "support", dirs / "rescued"};
  ASSERT_TRUE(SnapshotStore(paths).save(recorded));
  x.end(owner);  // the clipboard goes with its owner
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        return runChild({"xclip", "-o", "-selection", "clipboard"}, 5)->exitStatus != 0;
      },
      5));

  const auto run = testing::runTool(
      {"restore", recorded.id, "--support", (dirs / "support").string(), "--only", "clipboard"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("  done     Restore the clipboard"), std::string::npos) << run.out;
  for (const auto& [target, bytes] : item) {
    const auto data = runChild({"xclip", "-o", "-selection", "clipboard", "-t", target}, 5);
    ASSERT_TRUE(data && data->exitStatus == 0) << target;
    EXPECT_EQ(data->out, std::string(bytes.begin(), bytes.end())) << target;
  }
  const std::string utf8 = "caf\xC3\xA9";
  EXPECT_TRUE(item.at("UTF8_STRING") == ClipboardRecord::Bytes(utf8.begin(), utf8.end()));
}

// Terminal windows are reopened from their terminal records, which carry a frame but no state:
// the states come from the xterm application's windows the snapshot recorded at those frames.
TEST(X11Restore, ReopenedTerminalWindowsGetTheirRecordedStates) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  testing::TempDir dirs;
  for (const char* name : {"full", "small", "support"})
    std::filesystem::create_directories(dirs / name);
  const auto full = std::filesystem::canonical(dirs / "full").string();
  const auto small = std::filesystem::canonical(dirs / "small").string();
  testing::ScopedEnvironment environment;
  environment.set("DISPLAY", x.display());
  environment.set("TMUX_TMPDIR", dirs.path().string());
  environment.set("SHELL", "/bin/sh");
  environment.set("HOME", dirs.path().string());

  const pid_t wide = x.launch({"xterm", "-fullscreen"}, full);
  const pid_t hidden = x.launch({"xterm", "-geometry", "60x20+300+200"}, small);
  const auto hiddenWindow = x.windowOf(hidden);
  ASSERT_TRUE(x.windowOf(wide) && hiddenWindow);
  ASSERT_TRUE(X11WindowControl(x.display()).setState(x11WindowId(*hiddenWindow), true, false));
  Snapshot recorded;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        // The states are judged on the snapshot itself: the window manager may carry out the
        // minimising between a capture and a look of the test's own.
        recorded = captureNow();
        std::vector<WindowRecord> windows;
        for (const auto& app : recorded.apps) {
          if (app.name == "XTerm")
            windows.insert(windows.end(), app.windows.begin(), app.windows.end());
        }
        return directories(terminal(recorded, TerminalKind::xterm)) ==
                   std::multiset<std::string>{full, small} &&
               std::count_if(windows.begin(), windows.end(),
                             [](const WindowRecord& w) { return w.isMinimized; }) == 1 &&
               std::count_if(windows.begin(), windows.end(),
                             [](const WindowRecord& w) { return w.isFullScreen; }) == 1;
      },
      10))
      << "the two xterms were never seen full screen and minimised";
  recorded.id = "20260301T140509.250Z";
  ASSERT_TRUE(SnapshotStore(BrimwellPaths{dirs / "support", dirs / "rescued"}).save(recorded));
  x.end(wide);
  x.end(hidden);
  ASSERT_TRUE(XSession::waitUntil(
      [&] { return testing::windowsOfClass(x.display(), "XTerm").empty(); }, 10));

  const auto run = testing::runTool({"restore", recorded.id, "--support",
                                     (dirs / "support").string(), "--only", "terminals,windows"});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  std::vector<DesktopWindow> now;
  EXPECT_TRUE(XSession::waitUntil(
      [&] {
        now = testing::windowsOfClass(x.display(), "XTerm");
        return now.size() == 2 &&
               std::count_if(now.begin(), now.end(),
                             [](const DesktopWindow& w) { return w.hidden && !w.fullScreen; }) ==
                   1 &&
               std::count_if(now.begin(), now.end(),
                             [](const DesktopWindow& w) { return w.fullScreen && !w.hidden; }) == 1;
      },
      10))
      << run.out << [&] {
           std::string states;
           for (const auto& w : now) {
             states += std::string(w.hidden ? "hidden" : "shown") +
                       (w.fullScreen ? " full screen; " : "; ");
           }
           return states;
         }();
}

TEST(X11Restore, PlacedWindowsAreMatchedByTitleAndGetTheirFramesAndStates) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  x.launch({"xmessage", "-title", "one", "-geometry", "+10+10", "first"});
  x.launch({"xmessage", "-title", "two", "-geometry", "+400+10", "second"});
  const pid_t term = x.launch({"xterm", "-title", "wide"});
  ASSERT_TRUE(x.windowOf(term));
  // xmessage sets no _NET_WM_PID: its windows belong to the application named by their class.
  std::map<std::string, DesktopWindow> byTitle;
  const auto look = [&] {
    if (const auto found = XcbWindowSource(x.display()).desktop()) {
      for (const auto& window : found->windows) byTitle[window.title] = window;
    }
  };
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        look();
        return byTitle.contains("one") && byTitle.contains("two");
      },
      10))
      << "xmessage (package x11-utils) showed no windows";
  ASSERT_TRUE(byTitle["one"].frame && byTitle["two"].frame);
  const Rect one = *byTitle["one"].frame;
  const Rect two = *byTitle["two"].frame;
  // Recorded the other way round: the titles, not the order, decide which window is which.
  AppRecord messages{.name = byTitle["one"].appClass};
  messages.windows = {{.title = "two", .frame = Rect{600, 500, two.width, two.height}, .order = 0},
                      {.title = "one",
                       .frame = Rect{300, 200, one.width, one.height},
                       .isMinimized = true,
                       .order = 1}};
  AppRecord xterm{.path = "/usr/bin/xterm", .name = "XTerm"};
  xterm.windows = {{.title = "wide", .frame = Rect{50, 50, 400, 300}, .isFullScreen = true}};

  LinuxRestorePlatform platform{
      std::make_unique<PosixPrograms>(), std::make_unique<X11WindowControl>(x.display()),
      std::make_unique<XdgAppDirectory>(std::vector<std::filesystem::path>{}),
      std::make_unique<ProcProcessTable>()};
  LinuxRestoreExecutor executor(std::move(platform), {});
  const auto report = executor.executeNow(
      {"id", {RestoreStep::placeWindows(messages), RestoreStep::placeWindows(xterm)}, {}}, {});
  ASSERT_EQ(report.results.size(), 2u);
  for (const auto& result : report.results) {
    const auto* failed = result.outcome.as<RestoreStepOutcome::Failed>();
    EXPECT_EQ(result.outcome, RestoreStepOutcome::done()) << (failed ? failed->reason : "");
  }
  look();
  EXPECT_TRUE(byTitle["one"].hidden);
  EXPECT_FALSE(byTitle["two"].hidden);
  ASSERT_TRUE(byTitle["two"].frame);
  EXPECT_EQ(byTitle["two"].frame->x, 600);
  EXPECT_EQ(byTitle["two"].frame->y, 500);
  EXPECT_TRUE(byTitle["wide"].fullScreen);
}

}  // namespace
}  // namespace brimwell
