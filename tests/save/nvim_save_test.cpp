#include "linux/save/nvim_save.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "linux/save/linux_document_saver.h"
#include "linux/save/nvim_servers.h"
#include "tests/save/keyboard_saver.h"
#include "tests/save/nvim_process.h"
#include "tests/save/silent_socket.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using testing::SilentSocket;

using testing::NvimProcess;
using testing::TempDir;
using Clock = std::chrono::steady_clock;

TEST(NvimRules, SavesFilesItMayWriteRescuesOtherTextAndLeavesSpecialBuffers) {
  const auto file = [](std::string name, bool writable) {
    return NvimBuffer{.name = std::move(name), .modified = true, .fileWritable = writable};
  };
  auto unmodified = file("/w/a.txt", true);
  unmodified.modified = false;
  auto readonly = file("/w/a.txt", true);
  readonly.readonly = true;
  auto changed = file("/w/a.txt", true);
  changed.changedOnDisk = true;
  auto help = file("/usr/share/nvim/runtime/doc/api.txt", false);
  help.buftype = "help";
  auto terminal = file("term://~//42:bash", false);
  terminal.buftype = "terminal";
  auto scratch = file("", false);
  scratch.buftype = "nofile";
  auto acwrite = file("fugitive:///w/.git//0/a.txt", false);
  acwrite.buftype = "acwrite";
  const struct {
    NvimBuffer buffer;
    NvimBufferAction action;
  } cases[] = {
      {file("/w/a.txt", true), NvimBufferAction::save},
      {unmodified, NvimBufferAction::leave},
      {file("/w/a.txt", false), NvimBufferAction::rescue},  // not writable by this user
      {readonly, NvimBufferAction::rescue},
      {changed, NvimBufferAction::rescue},          // never saved over what another program wrote
      {file("", false), NvimBufferAction::rescue},  // unnamed
      {help, NvimBufferAction::leave},
      {terminal, NvimBufferAction::leave},
      {scratch, NvimBufferAction::leave},
      {acwrite, NvimBufferAction::rescue},
  };
  for (const auto& [buffer, action] : cases) {
    EXPECT_EQ(nvimBufferAction(buffer), action) << buffer.name << " " << buffer.buftype;
  }
}

TEST(NvimRules, NamesRescueCopiesAfterTheBufferAndNumbersRepeats) {
  const struct {
    std::string name;
    int n;
    std::string copy;
  } cases[] = {
      {"/w/notes.md", 1, "Neovim - notes.md"},
      {"/w/notes.md", 3, "Neovim - notes (3).md"},
      {"", 1, "Neovim - No Name.txt"},
      {"", 2, "Neovim - No Name (2).txt"},
      {"/w/Makefile", 1, "Neovim - Makefile.txt"},
      {"/w/.bashrc", 1, "Neovim - bashrc.txt"},
      {"/w/a:b*?<>|\".c", 1, "Neovim - ab.c"},
      {"/w/***", 1, "Neovim - buffer.txt"},
      {"/w/résumé.txt", 1, "Neovim - résumé.txt"},
      {"/w/trailing.", 1, "Neovim - trailing..txt"},
  };
  for (const auto& [name, n, copy] : cases) {
    EXPECT_EQ(nvimRescueName({.name = name}, n), copy) << name;
  }
  EXPECT_EQ(nvimBufferText({{std::string("a")}, {std::string("")}, {std::string("b")}}),
            "a\n\nb\n");
}

LinuxDocumentSaver saverFor(std::vector<std::string> sockets, double neovimBudget = 15) {
  return LinuxDocumentSaver(
      [sockets] {
        auto tools = testing::passTools(std::make_unique<testing::WindowlessKeyboard>());
        tools.neovim = std::make_unique<testing::FixedNvimServers>(sockets);
        return tools;
      },
      {.pass = 20, .neovim = neovimBudget});
}

const SaverResult* nvimResult(const SavePassOutput& output) {
  return testing::resultFor(output, "nvim");
}

Status call(NvimConnection& nvim, const std::string& method, MsgArray args) {
  auto answer = nvim.call(method, std::move(args), Clock::now() + std::chrono::seconds(5));
  if (!answer) return Unexpected(answer.error());
  return {};
}

MsgValue lines(std::initializer_list<std::string> texts) {
  MsgArray array;
  for (const auto& text : texts) array.push_back({text});
  return {std::move(array)};
}

TEST(NvimSave, SavesTheModifiedFileInPlaceAndRescuesTheUnnamedBuffer) {
  TempDir dir;
  NvimProcess nvim(dir.path(), true);
  ASSERT_TRUE(nvim.ready()) << "nvim --listen didn't start (is neovim installed?)";
  testing::writeFile(dir / "notes.txt", "old text\n");
  auto session = NvimConnection::open(nvim.socket(), Clock::now() + std::chrono::seconds(5));
  ASSERT_TRUE(session) << session.error().message();
  const MsgValue current{std::int64_t{0}};
  const MsgValue all[] = {{std::int64_t{0}}, {std::int64_t{-1}}, {false}};
  ASSERT_TRUE(call(*session, "nvim_command", {{"edit " + (dir / "notes.txt").string()}}));
  ASSERT_TRUE(call(*session, "nvim_buf_set_lines",
                   {current, all[0], all[1], all[2], lines({"new text", "second line"})}));
  ASSERT_TRUE(call(*session, "nvim_command", {{std::string("enew")}}));
  ASSERT_TRUE(call(*session, "nvim_buf_set_lines",
                   {current, all[0], all[1], all[2], lines({"unsaved thought"})}));
  ASSERT_TRUE(call(*session, "nvim_command", {{std::string("help api")}}));  // left alone

  const auto rescue = dir / "rescue";
  const auto output = saverFor({nvim.socket()}).saveNow(rescue, {}, {});
  const auto* result = nvimResult(output);
  ASSERT_NE(result, nullptr);
  const auto copy = rescue / "Neovim - No Name.txt";
  EXPECT_EQ(*result,
            (SaverResult{.bundleID = "nvim",
                         .appName = "Neovim",
                         .outcome = SaverOutcome::saved,
                         .saved = 1,
                         .rescued = 1,
                         .detail = "Saved copies of unsaved buffers in the rescue folder."}));
  EXPECT_EQ(output.rescued, (std::vector<RescuedDocument>{{.appBundleID = "nvim",
                                                           .appName = "Neovim",
                                                           .originalTitle = "[No Name]",
                                                           .path = copy.string()}}));
  EXPECT_EQ(testing::readFile(dir / "notes.txt"), "new text\nsecond line\n");
  EXPECT_EQ(testing::readFile(copy), "unsaved thought\n");

  // The rescued buffer stays modified, so the next pass rescues it again beside the first copy,
  // and a hung server beside the real one costs only its own report.
  SilentSocket hung((dir / "hung.sock").string());
  ASSERT_TRUE(hung.ok());
  const auto started = Clock::now();
  const auto again =
      saverFor({(dir / "hung.sock").string(), nvim.socket()}, 0.5).saveNow(rescue, {}, {});
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(3));
  const auto* second = nvimResult(again);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->outcome, SaverOutcome::saved);
  EXPECT_EQ(second->saved, 0);
  EXPECT_EQ(second->rescued, 1);
  EXPECT_EQ(second->detail, "Neovim couldn't save 1 buffer (the server at " +
                                (dir / "hung.sock").string() + ": Neovim didn't answer in time.).");
  EXPECT_EQ(testing::readFile(rescue / "Neovim - No Name (2).txt"), "unsaved thought\n");

  // A file changed on disk since Neovim read it is rescued, not saved over, and Neovim asks no one.
  const MsgValue notesBuffer{std::int64_t{1}};  // the first buffer opened
  ASSERT_TRUE(
      call(*session, "nvim_buf_set_lines", {notesBuffer, all[0], all[1], all[2], lines({"mine"})}));
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // a later modification time
  testing::writeFile(dir / "notes.txt", "theirs\n");
  const auto third = saverFor({nvim.socket()}, 5).saveNow(rescue, {}, {});
  ASSERT_NE(nvimResult(third), nullptr);
  EXPECT_EQ(nvimResult(third)->rescued, 2);
  EXPECT_EQ(nvimResult(third)->saved, 0);
  EXPECT_EQ(testing::readFile(dir / "notes.txt"), "theirs\n");
  EXPECT_EQ(testing::readFile(rescue / "Neovim - notes.txt"), "mine\n");

  // Excluded, Neovim isn't asked.
  EXPECT_EQ(nvimResult(saverFor({nvim.socket()}).saveNow(rescue, {}, {"nvim"})), nullptr);
  EXPECT_FALSE(std::filesystem::exists(rescue / "Neovim - No Name (4).txt"));
}

TEST(NvimServers, FindsTheListenSocketAndTheServerNeovimStartedByItself) {
  TempDir dir;
  std::filesystem::create_directory(dir / "a");
  std::filesystem::create_directory(dir / "b");
  NvimProcess listening(dir / "a", true);
  NvimProcess unnamed(dir / "b", false);
  ASSERT_TRUE(listening.ready() && unnamed.ready()) << "nvim didn't start";
  ProcNvimServers servers(::getuid());
  std::vector<std::string> found;
  // The second one names its socket only once it has started.
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  const auto underB = [&] {
    return std::any_of(found.begin(), found.end(), [&](const std::string& path) {
      return path.starts_with((dir / "b").string() + "/");
    });
  };
  do {
    found = servers.sockets();
  } while (!underB() && Clock::now() < deadline);
  EXPECT_NE(std::find(found.begin(), found.end(), listening.socket()), found.end());
  ASSERT_TRUE(underB()) << "no server of the nvim started without --listen was found";
  const auto server = *std::find_if(found.begin(), found.end(), [&](const std::string& path) {
    return path.starts_with((dir / "b").string() + "/");
  });
  auto connection = NvimConnection::open(server, Clock::now() + std::chrono::seconds(5));
  ASSERT_TRUE(connection) << connection.error().message();
  const auto name = connection->call("nvim_eval", {{std::string("v:servername")}},
                                     Clock::now() + std::chrono::seconds(5));
  ASSERT_TRUE(name && name->string());
  EXPECT_EQ(*name->string(), server);
  EXPECT_TRUE(std::all_of(found.begin(), found.end(),
                          [](const std::string& path) { return path.front() == '/'; }));
}

TEST(NvimServers, ReadsListeningSocketsAndListenArguments) {
  const std::string table =
      "Num       RefCount Protocol Flags    Type St Inode Path\n"
      "0000000000000000: 00000002 00000000 00010000 0001 01 4242 /tmp/nvim x/0\n"
      "0000000000000000: 00000003 00000000 00000000 0001 03 4243 /tmp/nvim x/0\n"
      "0000000000000000: 00000002 00000000 00010000 0001 01 77\n"
      "0000000000000000: 00000002 00000000 00010000 0001 01 78 @abstract\n"
      "garbage line\n"
      "0000000000000000: 00000002 00000000 0001zz00 0001 01 79 /bad/flags";
  EXPECT_EQ(parseListeningUnixSockets(table),
            (std::vector<UnixSocketEntry>{{.inode = 4242, .path = "/tmp/nvim x/0"},
                                          {.inode = 77},
                                          {.inode = 78, .path = "@abstract"}}));
  using namespace std::string_literals;
  const struct {
    std::string cmdline;
    std::string socket;
  } cases[] = {
      {"nvim\0--listen\0/run/user/1/n.sock\0file\0"s, "/run/user/1/n.sock"},
      {"nvim\0--listen\0127.0.0.1:6666\0"s, ""},
      {"nvim\0--\0--listen\0/x\0"s, ""},  // a file named --listen
      {"nvim\0--listen\0"s, ""},
      {"nvim\0file\0"s, ""},
  };
  for (const auto& [cmdline, socket] : cases) EXPECT_EQ(listenSocketOf(cmdline), socket);
  EXPECT_TRUE(isNvimExecutable("/usr/bin/nvim"));
  EXPECT_FALSE(isNvimExecutable("/usr/bin/nvim-qt"));
}

}  // namespace
}  // namespace brimwell
