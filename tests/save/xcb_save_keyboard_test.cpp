#include "linux/save/xcb_save_keyboard.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "linux/capture/x11_display.h"
#include "linux/save/linux_document_saver.h"
#include "tests/save/keyboard_saver.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_session.h"

namespace brimwell {
namespace {

using testing::TempDir;
using testing::XSession;

// An xterm whose terminal reads raw bytes (no flow control, so Ctrl+S arrives as 0x13) and
// writes the first one it gets to NAME.got, after marking NAME.ready.
pid_t rawXterm(XSession& session, const TempDir& dir, const std::string& name,
               const std::string& appClass) {
  const auto base = (dir / name).string();
  return session.launch(
      {"xterm", "-class", appClass, "-e", "sh", "-c",
       "stty raw -echo -ixon && : > '" + base + ".ready' && head -c 1 > '" + base + ".got'"});
}

TEST(XcbSaveKeyboard, PressesCtrlSInTheListedApplicationsWindowsOnly) {
  XSession session;
  ASSERT_TRUE(session.ready()) << session.error();
  TempDir dir;
  const pid_t writer = rawXterm(session, dir, "writer", "WriterTerm");
  const auto writerWindow = session.windowOf(writer);
  const pid_t other = rawXterm(session, dir, "other", "OtherTerm");
  const auto otherWindow = session.windowOf(other);
  ASSERT_TRUE(writerWindow && otherWindow) << "xterm's windows didn't appear";
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        return std::filesystem::exists(dir / "writer.ready") &&
               std::filesystem::exists(dir / "other.ready");
      },
      10));

  XcbSaveKeyboard probe(session.display());
  ASSERT_TRUE(probe.activate(x11WindowId(*otherWindow)))
      << "openbox didn't activate the second xterm";

  const std::string display = session.display();
  auto saver = testing::keyboardSaver(
      [display] { return std::make_unique<XcbSaveKeyboard>(display); }, testing::writerAndOther());
  const auto output = saver.saveNow(dir / "rescue", {"org.example.writer"}, {});

  const auto ours = testing::writerAndOtherResults(output);
  ASSERT_EQ(ours.size(), 2u);
  EXPECT_EQ(ours[0], (SaverResult{.bundleID = "org.example.writer",
                                  .appName = "Writer",
                                  .outcome = SaverOutcome::pressedCommandS,
                                  .detail = "Pressed Ctrl+S in 1 of its 1 windows."}));
  EXPECT_EQ(ours[1].bundleID, "org.example.other");
  EXPECT_EQ(ours[1].outcome, SaverOutcome::notSupported);
  EXPECT_TRUE(
      XSession::waitUntil([&] { return testing::readFile(dir / "writer.got") == "\x13"; }, 5))
      << "the writer's xterm didn't get Ctrl+S";
  EXPECT_EQ(testing::readFile(dir / "other.got"), "");
  EXPECT_EQ(probe.activeWindow(), x11WindowId(*otherWindow))
      << "the window in front before wasn't put back";
}

TEST(XcbSaveKeyboard, FailsPlainlyWithoutADisplay) {
  XcbSaveKeyboard keyboard(":12345");
  EXPECT_FALSE(keyboard.windows().has_value());
  EXPECT_FALSE(keyboard.pressControlS().has_value());
  EXPECT_EQ(keyboard.activeWindow(), std::nullopt);
}

}  // namespace
}  // namespace brimwell
