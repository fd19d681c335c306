// The save pass asking a real Vim (vim-gtk3's, with +clientserver) in an xterm on a private X
// server: buffers shown and hidden saved in place, a file changed on disk and an unnamed buffer
// rescued, special buffers and the user's windows left as they were.
#include "linux/save/vim_save.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>

#include "linux/save/linux_document_saver.h"
#include "linux/save/vim_servers.h"
#include "tests/save/keyboard_saver.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_session.h"

namespace brimwell {
namespace {

using testing::TempDir;

TEST(VimRules, ServerListsAndStringsAreReadAndWrittenAsVimDoes) {
  const std::string overlong(kMaxVimServerName + 1, 'V');
  EXPECT_EQ(parseVimServerList("GVIM\nGVIM1\r\n\nGVIM\n" + overlong + "\nNOTES"),
            (std::vector<std::string>{"GVIM", "GVIM1", "NOTES"}));
  std::string many;
  for (std::size_t i = 0; i < kMaxVimServers + 5; ++i) many += "S" + std::to_string(i) + "\n";
  EXPECT_EQ(parseVimServerList(many).size(), kMaxVimServers);

  EXPECT_EQ(vimString("it's a \"path\"\\"), "'it''s a \"path\"\\'");
  EXPECT_FALSE(vimSaveScript("/tmp/two\nlines"));
  const auto unreadable = parseVimSaveAnswer("E121: Undefined variable\n");
  ASSERT_FALSE(unreadable);
  EXPECT_EQ(unreadable.error().message(), "Vim answered with something Brimwell can't read.");
  EXPECT_EQ(*parseVimSaveAnswer("[[\"saved\",\"/w/a\",\"/w/a\"]]\n"),
            (std::vector<BufferReport>{
                {.kind = BufferReport::Kind::saved, .buffer = "/w/a", .file = "/w/a"}}));
}

LinuxDocumentSaver vimSaver(double vimBudget = 10) {
  return LinuxDocumentSaver(
      [] {
        auto tools = testing::passTools(std::make_unique<testing::WindowlessKeyboard>());
        tools.vim = std::make_unique<VimClientServers>();
        return tools;
      },
      {.pass = 20, .vim = vimBudget});
}

SaverResult vimResult(const SavePassOutput& output) {
  const auto* found = testing::resultFor(output, "vim");
  return found ? *found : SaverResult{.detail = "no result for Vim"};
}

TEST(VimSave, SavesShownAndHiddenFilesAndRescuesTheRest) {
  testing::XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  testing::ScopedEnvironment environment;
  environment.set("DISPLAY", x.display());
  TempDir dir;
  for (const auto* name : {"notes.txt", "hidden.txt", "theirs.txt"}) {
    testing::writeFile(dir / name, std::string("old ") + name + "\n");
  }
  constexpr char kServer[] = "BRIMWELL-TEST";
  ASSERT_GT(x.launch({"xterm", "-e", "vim", "--servername", kServer, "-u", "NONE", "-i", "NONE",
                      "-N", "-n", "-c", "set hidden", "notes.txt", "hidden.txt", "theirs.txt"},
                     dir.path().string()),
            0);
  VimClientServers vim;
  ASSERT_TRUE(testing::XSession::waitUntil(
      [&] {
        const auto names = vim.names(5);
        return std::find(names.begin(), names.end(), kServer) != names.end();
      },
      10))
      << "no Vim server showed (vim-gtk3 gives Vim +clientserver)";
  const auto ask = [&](const std::string& expression) {
    const auto answer = vim.eval(kServer, expression, 5);
    return answer ? *answer : "(failed: " + answer.error().message() + ")";
  };
  // Buffers 1 to 3 are the files; the window in front is an unnamed draft above notes.txt, with a
  // modified scratch buffer above both, left alone.
  ASSERT_EQ(ask("[execute(['buffer 2', 'call setline(1, \"new hidden\")', 'buffer 3', "
                "'call setline(1, \"mine\")', 'buffer 1', 'call setline(1, \"new notes\")', "
                "'split', 'enew', 'call setline(1, \"unsaved thought\")', 'new', "
                "'setlocal buftype=nofile', 'call setline(1, \"scratch\")']), 'set up'][1]"),
            "set up\n");
  const auto theirs = dir / "theirs.txt";
  testing::writeFile(theirs, "theirs\n");
  std::filesystem::last_write_time(
      theirs, std::filesystem::last_write_time(theirs) + std::chrono::seconds(5));
  const std::string layout = "json_encode([winnr('$'), bufnr('%'), win_getid()])";
  const auto before = ask(layout);

  const auto rescue = dir / "rescue 'folder'";
  const auto output = vimSaver().saveNow(rescue, {}, {});
  const auto draft = rescue / "Vim - No Name.txt";
  const auto mine = rescue / "Vim - theirs.txt";
  EXPECT_EQ(vimResult(output),
            (SaverResult{.bundleID = "vim",
                         .appName = "Vim",
                         .outcome = SaverOutcome::saved,
                         .saved = 2,
                         .rescued = 2,
                         .detail = "Saved copies of unsaved buffers in the rescue folder."}));
  EXPECT_EQ(
      output.rescued,
      (std::vector<RescuedDocument>{
          {.appBundleID = "vim", .appName = "Vim", .originalTitle = theirs, .path = mine},
          {.appBundleID = "vim", .appName = "Vim", .originalTitle = "[No Name]", .path = draft}}));
  EXPECT_EQ(testing::readFile(dir / "notes.txt"), "new notes\n");
  EXPECT_EQ(testing::readFile(dir / "hidden.txt"), "new hidden\n");
  EXPECT_EQ(testing::readFile(theirs), "theirs\n");  // never saved over another program's text
  EXPECT_EQ(testing::readFile(mine), "mine\n");
  EXPECT_EQ(testing::readFile(draft), "unsaved thought\n");
  // The saved buffers are clean, the rescued ones still modified, the windows as they were.
  EXPECT_EQ(ask("json_encode(map([1, 2, 3, 4], 'getbufvar(v:val, \"&modified\")'))"),
            "[0,0,1,1]\n");
  EXPECT_EQ(ask(layout), before);

  // A Vim that doesn't answer costs only its bound; its buffers wait for the next pass.
  const auto pid = std::stoi(ask("getpid()"));
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  const auto started = std::chrono::steady_clock::now();
  const auto stopped = vimResult(vimSaver(1).saveNow(rescue, {}, {}));
  ::kill(pid, SIGCONT);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
  EXPECT_EQ(stopped.outcome, SaverOutcome::failed);
  EXPECT_EQ(stopped.detail, std::string("Vim couldn't save 1 buffer (the server ") + kServer +
                                ": Vim didn't answer in time.).");

  // Without an X display there is no server to ask.
  environment.set("DISPLAY", "");
  const auto unreachable = vimResult(vimSaver().saveNow(rescue, {}, {}));
  EXPECT_EQ(unreachable.outcome, SaverOutcome::notSupported);
  EXPECT_EQ(unreachable.detail,
            "Vim runs without a server Brimwell can reach; a Vim with +clientserver started with "
            "--servername, or gvim, has one.");
}

}  // namespace
}  // namespace brimwell
