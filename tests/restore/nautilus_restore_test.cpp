// Folder windows with the real Nautilus on a private X server and session bus: two folder windows
// are captured with their folders and frames, Nautilus quits, and `brimwell restore` has the bus
// start it again and show both folders at their recorded frames; a second restore opens nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <map>
#include <set>
#include <thread>

#include "brimwell/core/engine/manual_clock.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "linux/capture/folder_locations.h"
#include "linux/capture/xcb_window_source.h"
#include "tests/cli/run_tool.h"
#include "tests/restore/desktop_round_trip.h"
#include "tests/support/nautilus_session.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_session.h"

namespace brimwell {
namespace {

using testing::XSession;

// The folders Nautilus shows now, each window's shown location.
std::multiset<std::string> shownFolders(const testing::NautilusSession& files) {
  std::multiset<std::string> folders;
  for (const auto& [object, locations] : files.openWindows()) {
    folders.insert(locations.empty() ? "?" : folderOfLocation(locations.front()).value_or("?"));
  }
  return folders;
}

FinderWindowRecord* recordOf(Snapshot& snapshot, const std::string& folder) {
  for (auto& window : snapshot.finder) {
    if (window.path == folder) return &window;
  }
  return nullptr;
}

bool near(const std::optional<Rect>& frame, const Rect& wanted) {
  return frame && std::abs(frame->x - wanted.x) <= 2 && std::abs(frame->y - wanted.y) <= 2 &&
         std::abs(frame->width - wanted.width) <= 2 && std::abs(frame->height - wanted.height) <= 2;
}

TEST(NautilusRestore, FolderWindowsComeBackThroughTheFileManagerAtTheirFramesOnce) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  testing::NautilusSession files(x.display());
  ASSERT_TRUE(files.ready()) << files.error();
  testing::TempDir dirs;
  for (const char* name : {"folders/My Work", "folders/plans", "support"}) {
    std::filesystem::create_directories(dirs / name);
  }
  const auto work = std::filesystem::canonical(dirs / "folders/My Work").string();
  const auto plans = std::filesystem::canonical(dirs / "folders/plans").string();
  testing::ScopedEnvironment environment;
  // The tool and the capture see Nautilus's bus, display and home.
  environment.setAll(files.environment());

  files.show(work);
  ASSERT_TRUE(XSession::waitUntil([&] { return shownFolders(files).contains(work); }, 20))
      << "Nautilus (package nautilus) showed no window of " << work;
  files.show(plans);
  const std::multiset<std::string> both = {work, plans};
  ASSERT_TRUE(XSession::waitUntil([&] { return shownFolders(files) == both; }, 20));
  // The frames are known once the windows are titled after their folders.
  Snapshot recorded;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        recorded = testing::captureNow(false);
        const auto* a = recordOf(recorded, work);
        const auto* b = recordOf(recorded, plans);
        return recorded.finder.size() == 2 && a && a->bounds && b && b->bounds;
      },
      20))
      << recorded.finder.size() << " folder windows captured";
  // Excluding Nautilus leaves its folder windows out with it.
  {
    asio::io_context context;
    ManualClock clock(context, std::chrono::system_clock::now());
    testing::FixedMachine machine;
    LinuxWorkspaceCapturer capturer(LinuxCaptureSources::forSession(), clock, machine);
    const auto without =
        capturer.captureNow(CaptureTrigger::manual, std::nullopt, {"org.gnome.Nautilus"}, false);
    EXPECT_TRUE(without.finder.empty()) << without.finder.size() << " folder windows";
    EXPECT_TRUE(testing::appWithWindow(recorded, "plans")) << testing::seen(recorded);
    EXPECT_FALSE(testing::appWithWindow(without, "plans"));
  }
  // Put back elsewhere than Nautilus would put them by itself; Nautilus's own windows (which the
  // restore places too) were recorded there as well.
  std::map<std::string, Rect> frames;
  const std::map<std::string, std::pair<std::string, Rect>> moved = {
      {work, {"My Work", Rect{40, 30, 0, 0}}}, {plans, {"plans", Rect{360, 420, 0, 0}}}};
  for (auto& window : recorded.finder) {
    const auto& [title, corner] = moved.at(window.path);
    window.bounds->x = corner.x;
    window.bounds->y = corner.y;
    frames[title] = *window.bounds;
  }
  for (auto& app : recorded.apps) {
    for (auto& window : app.windows) {
      if (frames.contains(window.title)) window.frame = frames[window.title];
    }
  }
  recorded.id = "20260301T140509.250Z";
  const std::string support = (dirs / "support").string();
  ASSERT_TRUE(SnapshotStore(BrimwellPaths{dirs / "support", dirs / "rescued"}).save(recorded));

  ASSERT_TRUE(files.quit()) << "Nautilus didn't quit";
  const auto run = testing::runTool({"restore", recorded.id, "--support", support});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  // Nautilus isn't launched besides: it would open a window of its own.
  EXPECT_NE(run.out.find("  skipped  Launch Files: Files opens with the windows this restore "
                         "reopens."),
            std::string::npos)
      << run.out;
  for (const auto& folder : {work, plans}) {
    EXPECT_NE(run.out.find("  done     Open the folder " + folder), std::string::npos) << run.out;
  }
  EXPECT_TRUE(XSession::waitUntil([&] { return shownFolders(files) == both; }, 10))
      << shownFolders(files).size() << " folders shown";
  std::map<std::string, DesktopWindow> now;
  EXPECT_TRUE(XSession::waitUntil(
      [&] {
        now = testing::windowsByTitle(XcbWindowSource(x.display()));
        return near(now["My Work"].frame, frames["My Work"]) &&
               near(now["plans"].frame, frames["plans"]);
      },
      10))
      << "My Work at " << (now["My Work"].frame ? now["My Work"].frame->x : -1) << ","
      << (now["My Work"].frame ? now["My Work"].frame->y : -1);

  // Again: both are open, so nothing is opened.
  const auto again = testing::runTool({"restore", recorded.id, "--support", support});
  EXPECT_EQ(again.status, 0) << again.out << again.err;
  EXPECT_EQ(again.out.find("Open the folder"), std::string::npos) << again.out;
  EXPECT_EQ(again.out.find("Launch"), std::string::npos) << again.out;
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  EXPECT_EQ(shownFolders(files), both);
}

}  // namespace
}  // namespace brimwell
