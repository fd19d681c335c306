#include "linux/capture/kitty_remote.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <thread>

#include "linux/capture/emulator_terminals.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

using Tabs = std::vector<TerminalTabRecord>;

std::string framed(const std::string& json) { return "\x1bP@kitty-cmd" + json + "\x1b\\"; }

// An `ls` reply as kitty 0.26 writes it: the list as JSON text inside the envelope.
std::string lsReply(const std::string& list) {
  std::string quoted;
  for (const char c : list) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return framed(R"({"ok": true, "data": ")" + quoted + "\"}");
}

const std::string kTwoWindows = R"([
  {"id": 1, "platform_window_id": 4194316, "is_active": false, "wm_class": "kitty", "tabs": [
    {"id": 1, "title": "vim notes", "is_active_tab": false, "windows": [
      {"id": 1, "cwd": "/home/ann/notes", "is_active_window": true, "title": "vim notes"}]},
    {"id": 2, "title": "build", "is_active_tab": true, "windows": [
      {"id": 2, "cwd": "/srv/old", "is_active_window": false},
      {"id": 3, "cwd": "/srv/app", "is_active_window": true}]}]},
  {"id": 2, "platform_window_id": null, "tabs": [
    {"id": 4, "title": "odd", "windows": [{"id": 4, "cwd": "relative/dir"}]},
    {"id": 5, "title": 7, "windows": []}]}
])";

TEST(KittyRemote, AnLsReplyNamesEachWindowsTabsWithTheirActiveWindowsDirectory) {
  const auto windows = parseKittyLsReply(lsReply(kTwoWindows));
  ASSERT_TRUE(windows) << windows.error().message();
  EXPECT_EQ(*windows,
            (std::vector<EmulatorWindow>{
                {4194316, "build", {{"/home/ann/notes", "vim notes"}, {"/srv/app", "build"}}},
                {std::nullopt, "odd", {{std::nullopt, "odd"}, {std::nullopt, ""}}}}));
  // A kitty that sends the list itself rather than as text reads the same.
  const auto direct = parseKittyLsReply(framed(R"({"ok": true, "data": )" + kTwoWindows + "}"));
  ASSERT_TRUE(direct);
  EXPECT_EQ(*direct, *windows);
}

TEST(KittyRemote, AReplyThatIsCutRefusedOrHostileIsOneSentence) {
  std::string many = "[";
  for (int i = 0; i < 300; ++i) many += std::string(i ? "," : "") + "{}";
  many += "]";
  std::string deep(100000, '[');
  const struct {
    std::string reply;
    std::string sentence;
  } cases[] = {
      {"", "kitty's answer isn't a remote-control reply."},
      {lsReply(kTwoWindows).substr(0, 60), "kitty's answer isn't a remote-control reply."},
      {framed(R"({"ok": true, "data": "[{\"tabs\": [)"), "kitty's answer isn't JSON."},
      {framed(R"({"ok": false, "error": "Remote control is disabled"})"),
       "kitty refused to list its windows."},
      {framed(R"({"ok": true})"), "kitty's answer lists no windows."},
      {framed(R"({"ok": true, "data": "{}"})"), "kitty's answer lists no windows."},
      {framed(R"({"ok": true, "data": ")" + deep + "\"}"), "kitty's answer lists no windows."},
      {lsReply(many), "kitty lists more than 256 windows."},
  };
  for (const auto& c : cases) {
    const auto parsed = parseKittyLsReply(c.reply);
    ASSERT_FALSE(parsed) << c.sentence;
    EXPECT_EQ(parsed.error().message(), c.sentence);
  }
}

TEST(KittyRemote, OnlyALocalSocketIsAnAddressToAsk) {
  const struct {
    const char* listenOn;
    std::optional<std::string> socket;
  } cases[] = {
      {"unix:/run/user/1000/kitty-42", "/run/user/1000/kitty-42"},
      {"unix:@kitty-42", "@kitty-42"},
      {"tcp:localhost:12345", std::nullopt},
      {"unix:relative", std::nullopt},
      {"unix:", std::nullopt},
      {"/tmp/kitty", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(kittySocketPath(c.listenOn), c.socket) << c.listenOn;
}

TEST(KittyRemote, DesktopWindowsArePairedByIdThenByTitleThenInOrder) {
  const Tabs a = {{"/a", "a"}}, b = {{"/b", "b"}}, c = {{"/c", "c"}};
  const auto window = [](const char* id, const char* title) {
    return DesktopWindow{.id = id, .pid = 9, .title = title};
  };
  const struct {
    const char* name;
    std::vector<DesktopWindow> windows;
    std::vector<EmulatorWindow> osWindows;
    std::map<WindowId, Tabs> expected;
  } cases[] = {
      {"X ids win over titles",
       {window("10", "b"), window("11", "a")},
       {{10, "a", a}, {11, "b", b}},
       {{"10", a}, {"11", b}}},
      {"titles without ids",
       {window("w1", "b"), window("w2", "a")},
       {{std::nullopt, "a", a}, {std::nullopt, "b", b}},
       {{"w1", b}, {"w2", a}}},
      {"a title two windows share pairs in order",
       {window("w1", "sh"), window("w2", "sh"), window("w3", "c")},
       {{std::nullopt, "sh", a}, {std::nullopt, "c", c}, {std::nullopt, "sh", b}},
       {{"w1", a}, {"w2", b}, {"w3", c}}},
      {"more windows than kitty named",
       {window("w1", "x"), window("w2", "y")},
       {{std::nullopt, "z", a}},
       {{"w1", a}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tabsByWindow(c.windows, c.osWindows), c.expected) << c.name;
  }
}

TEST(KittyRemote, WindowsWhoseTabsKittyNamedKeepThemAndTheShellsFillTheRest) {
  Desktop desktop;
  desktop.windows = {{.id = "1", .pid = 11, .title = "one"},
                     {.id = "2", .pid = 11, .title = "two"},
                     {.id = "3", .pid = 12, .title = "three"}};
  const std::map<int, ProcessIdentity> identities = {
      {11, {"/usr/bin/kitty", "kitty", "kitty", {}}},
      {12, {"/usr/bin/kitty", "kitty", "kitty", {}}}};
  const std::map<int, std::vector<ShellTab>> shells = {{11, {{"/a", "sh"}, {"/b", "sh"}}},
                                                       {12, {{"/c", "sh"}}}};
  const auto records =
      emulatorTerminals(desktop, identities, shells, {{"1", {{"/a", "a"}}}, {"2", {{"/b", "b"}}}});
  EXPECT_EQ(records[3], (TerminalRecord{TerminalKind::kitty,
                                        CaptureStatus::ok,
                                        {{std::nullopt, {{"/a", "a"}}},
                                         {std::nullopt, {{"/b", "b"}}},
                                         {std::nullopt, {{"/c", "three"}}}}}));
}

// A socket that answers one request with `reply`.
struct OneAnswer {
  testing::TempDir dir;
  std::string path = (dir / "kitty.sock").string();
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::thread server;
  std::string request;

  explicit OneAnswer(std::string reply) {
    sockaddr_un address{.sun_family = AF_UNIX};
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(fd, 1), 0);
    server = std::thread([this, reply = std::move(reply)] {
      const int peer = ::accept(fd, nullptr, nullptr);
      if (peer < 0) return;
      char chunk[256];
      while (request.find("\x1b\\") == std::string::npos) {
        const ssize_t n = ::read(peer, chunk, sizeof chunk);
        if (n <= 0) break;
        request.append(chunk, static_cast<std::size_t>(n));
      }
      if (!reply.empty()) (void)::write(peer, reply.data(), reply.size());
      std::this_thread::sleep_for(std::chrono::milliseconds(500));
      ::close(peer);
    });
  }
  ~OneAnswer() {
    server.join();
    ::close(fd);
  }
};

TEST(KittyRemote, TheSocketIsAskedOnceAndASilentOrChattyKittyCostsABoundedWait) {
  {
    OneAnswer kitty(lsReply(kTwoWindows) + "trailing bytes");
    const auto windows = KittySocketSource(2).osWindows("unix:" + kitty.path);
    ASSERT_TRUE(windows) << windows.error().message();
    EXPECT_EQ(windows->size(), 2u);
    EXPECT_EQ(kitty.request, kittyLsRequest());
  }
  {
    OneAnswer silent("");
    const auto started = std::chrono::steady_clock::now();
    const auto windows = KittySocketSource(0.2).osWindows("unix:" + silent.path);
    ASSERT_FALSE(windows);
    EXPECT_EQ(windows.error().message(), "kitty didn't answer in time.");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  }
  EXPECT_EQ(KittySocketSource(1).osWindows("tcp:localhost:1").error().message(),
            "kitty listens on no local socket.");
  EXPECT_EQ(KittySocketSource(1).osWindows("unix:/nonexistent/kitty").error().message(),
            "kitty's socket doesn't answer.");
}

}  // namespace
}  // namespace brimwell
