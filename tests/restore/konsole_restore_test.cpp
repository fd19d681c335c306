// Konsole on a private X server and session bus, running every window in one process as it can
// be set to: each window's tabs are told apart over Konsole's bus interface, with Konsole's own
// titles, and `brimwell restore` brings back each window with its tabs, once.
#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "brimwell/core/snapshots/snapshot_store.h"
#include "linux/capture/konsole_bus.h"
#include "linux/deadline_bus.h"
#include "tests/cli/run_tool.h"
#include "tests/restore/desktop_round_trip.h"
#include "tests/support/private_bus.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_session.h"

namespace brimwell {
namespace {

using testing::XSession;

// Each Konsole window's tabs as "directory | title".
std::multiset<std::vector<std::string>> konsoleWindows(const Snapshot& snapshot) {
  return testing::windowTabs(snapshot, TerminalKind::konsole, [](const TerminalTabRecord& tab) {
    return tab.directory.value_or("?") + " | " + tab.title;
  });
}

TEST(KonsoleRestore, EachWindowKeepsItsOwnTabsAndGetsThemBack) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  testing::PrivateBus bus;
  testing::TempDir dirs;
  for (const char* name : {"alpha", "beta", "gamma", "support", ".config"}) {
    std::filesystem::create_directories(dirs / name);
  }
  const auto dir = [&](const char* name) {
    return std::filesystem::canonical(dirs / name).string();
  };
  testing::ScopedEnvironment environment;
  environment.set("DISPLAY", x.display());
  environment.set("SHELL", "/bin/sh");
  environment.set("HOME", dirs.path().string());
  environment.set("XDG_CONFIG_HOME", (dirs / ".config").string());
  environment.set("QT_QPA_PLATFORM", "xcb");
  std::ofstream(dirs / ".config" / "konsolerc") << "[KonsoleWindow]\nUseSingleInstance=true\n";
  testing::EndsWindowsOfClass restored{x.display(), "konsole"};

  const pid_t konsole = x.launch({"konsole", "--workdir", dir("alpha")}, dir("alpha"));
  ASSERT_TRUE(x.windowOf(konsole, 20)) << "konsole (package konsole) showed no window";
  // A second `konsole` hands its window to the first process, which then has two.
  x.launch({"konsole", "--workdir", dir("beta")}, dir("beta"));
  ASSERT_TRUE(XSession::waitUntil(
      [&] { return testing::windowsOfClass(x.display(), "konsole").size() == 2; }, 20));
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        DeadlineBus session(DeadlineBus::Kind::session, std::chrono::seconds(2));
        auto call = session.newCall("org.kde.konsole", "/Windows/2", "org.kde.konsole.Window",
                                    "newSession");
        if (call && sd_bus_message_append(call.get(), "ss", "", dir("gamma").c_str()) < 0) {
          call.reset();
        }
        return session.call(std::move(call)).has_value();
      },
      10))
      << "Konsole's second window took no tab over the bus";

  const std::multiset<std::vector<std::string>> expected = {
      {dir("alpha") + " | alpha : sh"},
      {dir("beta") + " | beta : sh", dir("gamma") + " | gamma : sh"}};
  Snapshot recorded;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        recorded = testing::captureNow(false);
        return konsoleWindows(recorded) == expected;
      },
      15))
      << "Konsole's windows were seen as " << testing::showWindows(konsoleWindows(recorded));
  // Where the desktop's ids aren't X ids (on Wayland), windows are paired by title.
  const auto told = KonsoleBusSource().windows(konsole);
  ASSERT_TRUE(told) << told.error().message();
  std::multiset<std::string> toldTitles, shownTitles;
  for (const auto& window : *told) toldTitles.insert(window.title);
  for (const auto& window : testing::windowsOfClass(x.display(), "konsole"))
    shownTitles.insert(window.title);
  EXPECT_EQ(toldTitles, shownTitles);

  recorded.id = "20260301T140509.250Z";
  ASSERT_TRUE(SnapshotStore(BrimwellPaths{dirs / "support", dirs / "rescued"}).save(recorded));
  x.end(konsole);
  ASSERT_TRUE(XSession::waitUntil(
      [&] { return testing::windowsOfClass(x.display(), "konsole").empty(); }, 10));

  const std::string support = (dirs / "support").string();
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "first run" : "second run");
    const auto again =
        testing::runTool({"restore", recorded.id, "--support", support, "--only", "terminals"});
    EXPECT_EQ(again.status, 0) << again.out << again.err;
    EXPECT_EQ(again.out.find(" window in ") == std::string::npos, run == 1) << again.out;
    Snapshot back;
    EXPECT_TRUE(XSession::waitUntil(
        [&] {
          back = testing::captureNow(false);
          return konsoleWindows(back) == expected;
        },
        20))
        << again.out << testing::showWindows(konsoleWindows(back));
    EXPECT_EQ(testing::windowsOfClass(x.display(), "konsole").size(), 2u);
  }
}

}  // namespace
}  // namespace brimwell
