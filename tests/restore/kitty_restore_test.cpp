// kitty windows on a private X server: recorded with their shells' directories and frames,
// closed, and brought back by `brimwell restore` in those directories; restored again, nothing
// new opens. With remote control on, the tabs of each window come back as tabs of one window.
#include <gtest/gtest.h>

#include <asio/io_context.hpp>
#include <fstream>
#include <set>

#include "brimwell/core/engine/manual_clock.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "tests/cli/run_tool.h"
#include "tests/restore/desktop_round_trip.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_session.h"

namespace brimwell {
namespace {

using testing::XSession;

Snapshot captureWithoutClipboard() { return testing::captureNow(false); }

TEST(KittyRestore, WindowsComeBackInTheirShellsDirectories) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  testing::TempDir dirs;
  std::filesystem::create_directories(dirs / "alpha");
  std::filesystem::create_directories(dirs / "beta");
  std::filesystem::create_directories(dirs / "support");
  const auto alpha = std::filesystem::canonical(dirs / "alpha").string();
  const auto beta = std::filesystem::canonical(dirs / "beta").string();
  testing::ScopedEnvironment environment;
  environment.set("DISPLAY", x.display());
  environment.set("SHELL", "/bin/sh");
  environment.set("HOME", dirs.path().string());  // kitty's configuration and no one else's
  testing::EndsWindowsOfClass restored{x.display(), "kitty"};
  // kitty runs the login shell of the password database, which for a system account may be
  // nologin (and a window whose shell ends closes): this one runs sh, restored ones too.
  std::filesystem::create_directories(dirs / ".config" / "kitty");
  std::ofstream(dirs / ".config" / "kitty" / "kitty.conf") << "shell /bin/sh\n";

  const pid_t first = x.launch({"kitty", "--directory", alpha}, alpha);
  ASSERT_TRUE(x.windowOf(first, 15)) << "kitty (package kitty) showed no window";
  const pid_t second = x.launch({"kitty", "--directory", beta}, beta);
  ASSERT_TRUE(x.windowOf(second, 15));
  Snapshot recorded;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        recorded = captureWithoutClipboard();
        return testing::directories(testing::terminal(recorded, TerminalKind::kitty)) ==
               std::multiset<std::string>{alpha, beta};
      },
      10))
      << "the kitty windows' shells were never seen in their directories";
  const auto app = std::find_if(recorded.apps.begin(), recorded.apps.end(),
                                [](const AppRecord& a) { return a.bundleID == "kitty"; });
  ASSERT_NE(app, recorded.apps.end()) << "kitty's desktop file didn't name its windows";
  for (const auto& record : recorded.terminals) {
    if (record.app != TerminalKind::kitty) continue;
    EXPECT_EQ(record.status, CaptureStatus::ok);
    for (const auto& window : record.windows) EXPECT_TRUE(window.bounds);
  }
  recorded.id = "20260301T140509.250Z";
  ASSERT_TRUE(SnapshotStore(BrimwellPaths{dirs / "support", dirs / "rescued"}).save(recorded));

  x.end(first);
  x.end(second);
  ASSERT_TRUE(XSession::waitUntil(
      [&] { return testing::windowsOfClass(x.display(), "kitty").empty(); }, 10));
  const std::string support = (dirs / "support").string();
  const auto run = testing::runTool({"restore", recorded.id, "--support", support});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("kitty"), std::string::npos) << run.out;
  Snapshot back;
  EXPECT_TRUE(XSession::waitUntil(
      [&] {
        back = captureWithoutClipboard();
        return testing::directories(testing::terminal(back, TerminalKind::kitty)) ==
               std::multiset<std::string>{alpha, beta};
      },
      15))
      << run.out;
  EXPECT_EQ(testing::windowsOfClass(x.display(), "kitty").size(), 2u);

  // Both are open now, so a second restore opens none.
  const auto again = testing::runTool({"restore", recorded.id, "--support", support});
  EXPECT_EQ(again.status, 0) << again.out;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(testing::windowsOfClass(x.display(), "kitty").size(), 2u) << again.out;
}

TEST(KittyRestore, TabsKittyNamesComeBackAsTabsOfTheirWindow) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  testing::TempDir dirs;
  for (const char* name : {"alpha", "beta's place", "gamma", "support"}) {
    std::filesystem::create_directories(dirs / name);
  }
  const auto path = [&](const char* name) {
    return std::filesystem::canonical(dirs / name).string();
  };
  const auto alpha = path("alpha"), beta = path("beta's place"), gamma = path("gamma");
  testing::ScopedEnvironment environment;
  environment.set("DISPLAY", x.display());
  environment.set("SHELL", "/bin/sh");
  environment.set("HOME", dirs.path().string());
  testing::EndsWindowsOfClass restored{x.display(), "kitty"};
  // Every kitty, the restored ones too, listens on a socket of its own (kitty adds its pid).
  std::filesystem::create_directories(dirs / ".config" / "kitty");
  std::ofstream(dirs / ".config" / "kitty" / "kitty.conf")
      << "shell /bin/sh\nallow_remote_control socket-only\nlisten_on unix:"
      << (dirs / "kitty").string() << "\n";
  // One kitty with two OS windows, the first of two tabs: its processes alone can't tell which
  // shell is in which window.
  const auto session = dirs / "start.session";
  std::ofstream(session) << "launch --cwd=" << alpha << "\nnew_tab\nlaunch --cwd=\"" << beta
                         << "\"\nnew_os_window\nlaunch --cwd=" << gamma << "\n";
  const pid_t kitty = x.launch({"kitty", "--session", session.string()}, alpha);
  const std::multiset<std::vector<std::string>> expected = {{alpha, beta}, {gamma}};
  Snapshot recorded;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        recorded = captureWithoutClipboard();
        return testing::windowTabs(recorded, TerminalKind::kitty) == expected;
      },
      20))
      << "kitty (package kitty) never named its tabs; last seen: "
      << testing::showWindows(testing::windowTabs(recorded, TerminalKind::kitty));
  recorded.id = "20260301T140509.250Z";
  ASSERT_TRUE(SnapshotStore(BrimwellPaths{dirs / "support", dirs / "rescued"}).save(recorded));

  x.end(kitty);
  ASSERT_TRUE(XSession::waitUntil(
      [&] { return testing::windowsOfClass(x.display(), "kitty").empty(); }, 10));
  const auto run =
      testing::runTool({"restore", recorded.id, "--support", (dirs / "support").string()});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  Snapshot back;
  EXPECT_TRUE(XSession::waitUntil(
      [&] {
        back = captureWithoutClipboard();
        return testing::windowTabs(back, TerminalKind::kitty) == expected &&
               testing::windowsOfClass(x.display(), "kitty").size() == 2;
      },
      20))
      << run.out << "the restored kitty windows hold "
      << testing::showWindows(testing::windowTabs(back, TerminalKind::kitty));
  // The session files the restore handed kitty are gone.
  for (const auto& entry : std::filesystem::directory_iterator(
           std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "/tmp")) {
    EXPECT_FALSE(entry.path().filename().string().ends_with(".session")) << entry.path();
  }
}

}  // namespace
}  // namespace brimwell
