// The round trip every desktop's tests make through `brimwell restore`: two terminal windows with
// shells in known directories, one at a known frame and one minimised, recorded and closed; the
// tool reopens them in their directories, at that frame and in that state, and a second run
// opens nothing.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "brimwell/core/snapshots/snapshot_store.h"
#include "linux/restore/session_window_control.h"
#include "tests/cli/run_tool.h"
#include "tests/restore/desktop_round_trip.h"
#include "tests/support/child_processes.h"

namespace brimwell::testing {

inline std::string describe(const std::vector<DesktopWindow>& windows) {
  std::string text = std::to_string(windows.size()) + " windows:";
  for (const auto& w : windows) {
    text += " [";
    if (w.frame) {
      text += std::to_string(w.frame->x) + "," + std::to_string(w.frame->y) + " " +
              std::to_string(w.frame->width) + "x" + std::to_string(w.frame->height);
    }
    text += w.hidden ? " hidden]" : "]";
  }
  return text;
}

// `session` has launch(argv, directory) and end(pid) and is entered already, with `home` as
// HOME; `program` opens one window of the terminal `kind`, whose windows have `appClass`.
template <class Session>
void expectTerminalsReopened(Session& session, const TempDir& home, TerminalKind kind,
                             const std::vector<std::string>& program, const std::string& appClass,
                             const Rect& frame) {
  for (const char* name : {"shown", "hidden", "support"})
    std::filesystem::create_directories(home / name);
  const auto shown = std::filesystem::canonical(home / "shown").string();
  const auto hidden = std::filesystem::canonical(home / "hidden").string();
  const auto control = windowControlForSession();
  const auto terminals = [&] {
    std::vector<DesktopWindow> found;
    if (const auto desktop = control->desktop()) {
      for (const auto& w : desktop->windows) {
        if (w.appClass == appClass) found.push_back(w);
      }
    }
    return found;
  };
  const pid_t first = session.launch(program, shown);
  const pid_t second = session.launch(program, hidden);
  ASSERT_TRUE(waitUntil([&] { return terminals().size() == 2; }, 15))
      << program.front() << " showed no windows";
  for (const auto& w : terminals()) {
    const Status set =
        w.pid == first ? control->place(w.id, frame) : control->setState(w.id, true, false);
    ASSERT_TRUE(set) << set.error().message();
  }
  Snapshot recorded;
  ASSERT_TRUE(waitUntil(
      [&] {
        recorded = captureNow(false);
        return directories(terminal(recorded, kind)) == std::multiset<std::string>{shown, hidden};
      },
      10))
      << "the shells' directories were never seen: " << seen(recorded);
  recorded.id = "20260301T140509.250Z";
  ASSERT_TRUE(SnapshotStore(BrimwellPaths{home / "support", home / "rescued"}).save(recorded));
  session.end(first);
  session.end(second);
  ASSERT_TRUE(waitUntil([&] { return terminals().empty(); }, 5));

  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run == 0 ? "first run" : "second run");
    const auto restored = runTool({"restore", recorded.id, "--support", (home / "support").string(),
                                   "--only", "terminals,windows"});
    EXPECT_EQ(restored.status, 0) << restored.out << restored.err;
    // The second run must open nothing: it plans against what the first run's windows show.
    EXPECT_EQ(restored.out.find(" window in ") == std::string::npos, run == 1) << restored.out;
    std::vector<DesktopWindow> now;
    // A loaded machine may take many seconds to draw a terminal; the wait ends once it has.
    ASSERT_TRUE(waitUntil(
        [&] {
          now = terminals();
          const auto placed = [&](const DesktopWindow& w) { return !w.hidden && w.frame == frame; };
          const auto minimised = [](const DesktopWindow& w) { return w.hidden; };
          return now.size() == 2 && std::count_if(now.begin(), now.end(), placed) == 1 &&
                 std::count_if(now.begin(), now.end(), minimised) == 1;
        },
        30))
        << restored.out << describe(now);
    // The next run sees the terminals by their shells' directories, so these must show first.
    Snapshot reopened;
    ASSERT_TRUE(waitUntil(
        [&] {
          reopened = captureNow(false);
          return directories(terminal(reopened, kind)) == std::multiset<std::string>{shown, hidden};
        },
        30))
        << seen(reopened);
  }
}

}  // namespace brimwell::testing
