#include "linux/save/kwin_save_keyboard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tests/save/keyboard_saver.h"
#include "tests/support/kwin_session.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::KwinSession;
using testing::TempDir;

std::vector<std::string> inKitty(const std::string& title, std::vector<std::string> command) {
  std::vector<std::string> argv = {"kitty", "-o", "linux_display_server=wayland", "-T", title};
  argv.insert(argv.end(), command.begin(), command.end());
  return argv;
}

// On a real KWin that grants this program its fake input: an Emacs in a kitty, its buffer
// modified and Ctrl+S bound to saving, and beside it a kitty whose terminal reads raw bytes.
// Each window is listed with its own process and brought to the front on request; Ctrl+S saves
// the file in the window in front and reaches no other.
TEST(KwinSaveKeyboard, PressesCtrlSInTheActiveWindowThroughKwinsFakeInput) {
  KwinSession kwin({std::filesystem::canonical("/proc/self/exe").string()});
  ASSERT_TRUE(kwin.ready()) << kwin.error();
  TempDir dir;
  testing::ScopedEnvironment environment;
  environment.set("WAYLAND_DISPLAY", kwin.waylandDisplay());
  environment.set("XDG_RUNTIME_DIR", kwin.runtimeDirectory());
  const auto notes = dir / "notes.txt";
  std::ofstream(notes) << "before\n";
  const auto other = (dir / "other").string();
  const pid_t writer =
      kwin.launch(testing::emacsWithAChange(inKitty("writer", {}), notes, dir / "writer.ready"));
  const pid_t reader =
      kwin.launch(inKitty("other", {"sh", "-c",
                                    "stty raw -echo -ixon && : > '" + other +
                                        ".ready' && head -c 1 > '" + other + ".got'"}));
  ASSERT_TRUE(KwinSession::waitUntil(
      [&] {
        return std::filesystem::exists(dir / "writer.ready") &&
               std::filesystem::exists(other + ".ready");
      },
      15))
      << "kitty (package kitty) or emacs (package emacs-nox) didn't start on KWin";

  // A fresh KWin builds its application database when a client first asks for its fake input.
  KwinSaveKeyboard keyboard(KwinScripting(), {}, 1, 5);
  std::vector<ClientWindow> windows;
  ASSERT_TRUE(KwinSession::waitUntil(
      [&] {
        auto listed = keyboard.windows();
        if (listed) windows = *listed;
        return windows.size() == 2;
      },
      5));
  std::optional<WindowId> writerWindow;
  for (const pid_t pid : {writer, reader}) {
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [&](const ClientWindow& w) { return w.pid == pid; });
    ASSERT_NE(found, windows.end()) << "no window of process " << pid;
    ASSERT_TRUE(keyboard.activate(found->id)) << found->id;
    EXPECT_EQ(keyboard.activeWindow(), found->id);
    if (pid == writer) writerWindow = found->id;
  }
  EXPECT_EQ(keyboard.activate("{no-such-window}").error().message(),
            "The window is no longer open.");

  ASSERT_TRUE(keyboard.activate(*writerWindow));
  const auto pressed = keyboard.pressControlS();
  ASSERT_TRUE(pressed) << pressed.error().message();
  EXPECT_TRUE(
      KwinSession::waitUntil([&] { return testing::readFile(notes) == "typed before\n"; }, 5))
      << "the editor didn't save on Ctrl+S: " << testing::readFile(notes);
  EXPECT_EQ(testing::readFile(other + ".got"), "") << "Ctrl+S reached a window behind";
}

// Without the grant KWin offers a client neither its fake input nor the virtual keyboard.
TEST(KwinSaveKeyboard, WithoutKwinsGrantCtrlSIsRefusedInOneSentence) {
  KwinSession kwin;
  ASSERT_TRUE(kwin.ready()) << kwin.error();
  const auto pressed = KwinSaveKeyboard(KwinScripting(), kwin.waylandDisplay()).pressControlS();
  ASSERT_FALSE(pressed);
  EXPECT_EQ(pressed.error().message(), "The compositor doesn't let Brimwell press keys.");
}

}  // namespace
}  // namespace brimwell
