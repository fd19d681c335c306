#include "linux/save/sway_save_keyboard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "linux/save/linux_document_saver.h"
#include "tests/save/keyboard_saver.h"
#include "tests/support/sway_session.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::SwaySession;
using testing::TempDir;

// A foot whose terminal reads raw bytes (no flow control, so Ctrl+S arrives as 0x13) and writes
// the first one it gets to NAME.got, after marking NAME.ready.
pid_t rawFoot(SwaySession& sway, const TempDir& dir, const std::string& name,
              const std::string& appId) {
  const auto base = (dir / name).string();
  return sway.launch(
      {"foot", "--app-id=" + appId, "-T", name, "sh", "-c",
       "stty raw -echo -ixon && : > '" + base + ".ready' && head -c 1 > '" + base + ".got'"});
}

TEST(SwaySaveKeyboard, PressesCtrlSInTheListedApplicationsWindowsOnly) {
  SwaySession sway;
  ASSERT_TRUE(sway.ready()) << sway.error();
  TempDir dir;
  rawFoot(sway, dir, "writer", "WriterTerm");
  rawFoot(sway, dir, "other", "OtherTerm");
  ASSERT_TRUE(SwaySession::waitUntil(
      [&] {
        return std::filesystem::exists(dir / "writer.ready") &&
               std::filesystem::exists(dir / "other.ready");
      },
      10))
      << "foot (package foot) didn't start its shells";
  const SwayIpc ipc(sway.swaySocket());
  // Both windows must be mapped before the other one is put in front: sway focuses a window as
  // it maps, and a shell may be running before its foot has a window.
  std::optional<WindowId> writer, other;
  ASSERT_TRUE(SwaySession::waitUntil(
      [&] {
        const auto layout = ipc.layout();
        if (!layout) return false;
        for (const auto& w : layout->windows) {
          if (w.window.appClass == "WriterTerm") writer = w.window.id;
          if (w.window.appClass == "OtherTerm") other = w.window.id;
        }
        return writer && other;
      },
      10))
      << "sway didn't show both foot windows";
  SwaySaveKeyboard probe(ipc, sway.waylandDisplay());
  ASSERT_TRUE(probe.activate(*other)) << "sway didn't focus the second foot";

  const std::string display = sway.waylandDisplay();
  auto saver = testing::keyboardSaver(
      [ipc, display] { return std::make_unique<SwaySaveKeyboard>(ipc, display); },
      testing::writerAndOther());
  const auto output = saver.saveNow(dir / "rescue", {"org.example.writer"}, {});

  auto ours = testing::writerAndOtherResults(output);
  ASSERT_EQ(ours.size(), 2u);
  std::sort(ours.begin(), ours.end(),
            [](const auto& a, const auto& b) { return a.bundleID > b.bundleID; });
  EXPECT_EQ(ours[0].detail, "Pressed Ctrl+S in 1 of its 1 windows.");
  EXPECT_EQ(ours[0], (SaverResult{.bundleID = "org.example.writer",
                                  .appName = "Writer",
                                  .outcome = SaverOutcome::pressedCommandS,
                                  .detail = "Pressed Ctrl+S in 1 of its 1 windows."}));
  EXPECT_EQ(ours[1].bundleID, "org.example.other");
  EXPECT_EQ(ours[1].outcome, SaverOutcome::notSupported);
  EXPECT_TRUE(
      SwaySession::waitUntil([&] { return testing::readFile(dir / "writer.got") == "\x13"; }, 5))
      << "the writer's foot didn't get Ctrl+S";
  EXPECT_EQ(testing::readFile(dir / "other.got"), "");
  EXPECT_EQ(probe.activeWindow(), other) << "the window in front before wasn't put back";
}

// The save pass's Ctrl+S in an editor that saves on it: an Emacs in foot, its buffer modified and
// Ctrl+S bound to saving.
TEST(SwaySaveKeyboard, CtrlSSavesTheChangeInAnEditor) {
  SwaySession sway;
  ASSERT_TRUE(sway.ready()) << sway.error();
  const SwayIpc ipc(sway.swaySocket());
  const std::string display = sway.waylandDisplay();
  testing::expectCtrlSSavesAnEditorsChange(
      [&](const std::vector<std::string>& argv) { sway.launch(argv); },
      [ipc, display] { return std::make_unique<SwaySaveKeyboard>(ipc, display); });
}

}  // namespace
}  // namespace brimwell
