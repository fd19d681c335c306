// Ctrl+S on a real GNOME Shell, headless, through Brimwell's extension: the keys reach the window
// the save pass brought to the front, and no other.
#include "linux/save/gnome_save_keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/save/keyboard_saver.h"
#include "tests/support/gnome_session.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::GnomeSession;
using testing::TempDir;

// A foot whose terminal reads raw bytes (no flow control, so Ctrl+S arrives as 0x13) and writes
// the first one it gets to NAME.got, after marking NAME.ready.
pid_t rawFoot(GnomeSession& gnome, const TempDir& dir, const std::string& name) {
  const auto base = (dir / name).string();
  return gnome.launch(
      {"foot", "--app-id=org.example." + name, "-T", name, "sh", "-c",
       "stty raw -echo -ixon && : > '" + base + ".ready' && head -c 1 > '" + base + ".got'"});
}

TEST(GnomeSaveKeyboard, PressesCtrlSInTheWindowItBroughtToTheFront) {
  GnomeSession gnome;
  ASSERT_TRUE(gnome.ready()) << gnome.error();
  TempDir dir;
  const pid_t writer = rawFoot(gnome, dir, "writer");
  rawFoot(gnome, dir, "other");
  ASSERT_TRUE(GnomeSession::waitUntil(
      [&] {
        return std::filesystem::exists(dir / "writer.ready") &&
               std::filesystem::exists(dir / "other.ready");
      },
      10))
      << "foot (package foot) didn't start its shells";
  // A loaded machine may take a while to move the focus.
  GnomeSaveKeyboard keyboard(GnomeShell(), 3);
  std::vector<ClientWindow> windows;
  ASSERT_TRUE(GnomeSession::waitUntil(
      [&] {
        auto listed = keyboard.windows();
        if (listed) windows = *listed;
        return windows.size() == 2;
      },
      5));
  const auto ours = std::find_if(windows.begin(), windows.end(),
                                 [&](const ClientWindow& w) { return w.pid == writer; });
  ASSERT_NE(ours, windows.end()) << "the writer's window has no pid";
  EXPECT_EQ(ours->appInstance, "org.example.writer");
  const auto other = std::find_if(windows.begin(), windows.end(),
                                  [&](const ClientWindow& w) { return w.pid != writer; });
  ASSERT_TRUE(keyboard.activate(other->id));
  ASSERT_TRUE(keyboard.activate(ours->id));
  EXPECT_EQ(keyboard.activeWindow(), ours->id);
  ASSERT_TRUE(keyboard.pressControlS());
  EXPECT_TRUE(
      GnomeSession::waitUntil([&] { return testing::readFile(dir / "writer.got") == "\x13"; }, 5))
      << "the writer's foot didn't get Ctrl+S";
  EXPECT_EQ(testing::readFile(dir / "other.got"), "");
  const auto gone = keyboard.activate("4242");
  ASSERT_FALSE(gone);
  EXPECT_EQ(gone.error().message(),
            "GNOME Shell's Brimwell extension failed (No such window is open.).");
}

// The save pass's Ctrl+S in an editor that saves on it: an Emacs in foot, its buffer modified and
// Ctrl+S bound to saving. The extension types no other key, so the change is made as it starts;
// it is ready once it waits for keys, its terminal set up.
TEST(GnomeSaveKeyboard, CtrlSSavesTheChangeInAnEditor) {
  GnomeSession gnome;
  ASSERT_TRUE(gnome.ready()) << gnome.error();
  testing::expectCtrlSSavesAnEditorsChange(
      [&](const std::vector<std::string>& argv) { gnome.launch(argv); },
      [] { return std::make_unique<GnomeSaveKeyboard>(GnomeShell(), 3); });
}

}  // namespace
}  // namespace brimwell
