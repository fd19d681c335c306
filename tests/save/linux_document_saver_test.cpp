#include "linux/save/linux_document_saver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include "linux/save/emacs_save.h"
#include "tests/save/fixed_catalog.h"
#include "tests/save/silent_socket.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace brimwell {
namespace {

using testing::SilentSocket;

using testing::FixedCatalog;

using testing::TempDir;
using Clock = std::chrono::steady_clock;

// An Emacs daemon of its own, its socket, home and runtime directory in `dir`; killed at the end.
class EmacsDaemon {
 public:
  explicit EmacsDaemon(const std::filesystem::path& dir) : socket_((dir / "server").string()) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string_view text(*entry);
      if (!text.starts_with("HOME=") && !text.starts_with("DISPLAY=") &&
          !text.starts_with("XDG_RUNTIME_DIR=")) {
        environment.emplace_back(text);
      }
    }
    environment.push_back("HOME=" + dir.string());
    environment.push_back("XDG_RUNTIME_DIR=" + dir.string());
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string daemon = "--fg-daemon=" + socket_;
    char* argv[] = {const_cast<char*>("emacs"), const_cast<char*>("-Q"), daemon.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {0, 1, 2}) {
      posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd ? O_WRONLY : O_RDONLY, 0);
    }
    if (::posix_spawnp(&pid_, "emacs", &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    const auto deadline = Clock::now() + std::chrono::seconds(15);
    while (pid_ > 0 && !std::filesystem::exists(socket_) && Clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  ~EmacsDaemon() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  bool ready() const { return pid_ > 0 && std::filesystem::exists(socket_); }
  const std::string& socket() const { return socket_; }

 private:
  std::string socket_;
  pid_t pid_ = -1;
};

// Processes by pid: owner and executable.
class FixedProcesses final : public ProcessTable {
 public:
  explicit FixedProcesses(std::map<int, std::pair<uid_t, std::string>> table)
      : table_(std::move(table)) {}
  std::vector<ProcessEntry> processes() override {
    std::vector<ProcessEntry> entries;
    for (const auto& [pid, process] : table_)
      entries.push_back({.pid = pid, .owner = process.first});
    return entries;
  }
  std::optional<std::string> executable(int pid) override {
    const auto found = table_.find(pid);
    if (found == table_.end()) return std::nullopt;
    return found->second.second;
  }
  std::optional<std::string> environmentValue(int, std::string_view) override { return {}; }
  std::optional<std::string> workingDirectory(int) override { return {}; }
  std::vector<std::string> openFiles(int) override { return {}; }

 private:
  std::map<int, std::pair<uid_t, std::string>> table_;
};

// What a scripted keyboard was asked, kept past the keyboard (the pass owns its tools).
struct KeyLog {
  std::mutex mutex;
  std::vector<std::string> calls;
  void add(std::string call) {
    std::lock_guard lock(mutex);
    calls.push_back(std::move(call));
  }
  std::vector<std::string> all() {
    std::lock_guard lock(mutex);
    return calls;
  }
};

class ScriptedKeyboard final : public SaveKeyboard {
 public:
  ScriptedKeyboard(Result<std::vector<ClientWindow>> windows, std::shared_ptr<KeyLog> log,
                   WindowId hangsOn = {}, WindowId throwsOn = {})
      : windows_(std::move(windows)),
        log_(std::move(log)),
        hangsOn_(hangsOn),
        throwsOn_(throwsOn) {}
  Result<std::vector<ClientWindow>> windows() override { return windows_; }
  std::optional<WindowId> activeWindow() override { return "99"; }
  Status activate(const WindowId& window) override {
    log_->add("activate " + window);
    if (window == hangsOn_) std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    if (window == throwsOn_) throw std::bad_alloc();
    return {};
  }
  Status pressControlS() override {
    log_->add("press");
    return {};
  }

 private:
  Result<std::vector<ClientWindow>> windows_;
  std::shared_ptr<KeyLog> log_;
  WindowId hangsOn_;
  WindowId throwsOn_;
};

const std::vector<DesktopEntry> kEntries = {
    {.id = "org.example.writer", .name = "Writer", .program = "writer"},
    {.id = "org.example.notes", .name = "Notes", .program = "notes"},
    {.id = "org.example.secret", .name = "Secret", .program = "secret"}};

std::function<SaveTools()> toolsWith(std::shared_ptr<KeyLog> log,
                                     Result<std::vector<ClientWindow>> windows,
                                     std::string emacsSocket,
                                     std::map<int, std::pair<uid_t, std::string>> processes,
                                     WindowId hangsOn = {}, WindowId throwsOn = {}) {
  return [=] {
    return SaveTools{
        .keyboard = std::make_unique<ScriptedKeyboard>(windows, log, hangsOn, throwsOn),
        .emacs = std::make_unique<EmacsClientServer>(emacsSocket),
        .processes = std::make_unique<FixedProcesses>(processes),
        .desktopFiles = std::make_unique<FixedCatalog>(kEntries),
        .user = ::getuid()};
  };
}

TEST(LinuxDocumentSaver, EmacsSavesFileBuffersInPlaceAndRescuesTheOthers) {
  TempDir dir;
  EmacsDaemon emacs(dir.path());
  ASSERT_TRUE(emacs.ready()) << "emacs --fg-daemon didn't start (is emacs-nox installed?)";
  testing::writeFile(dir / "notes.txt", "old text\n");
  EmacsClientServer server(emacs.socket());
  const std::string edit = "(progn (with-current-buffer (find-file-noselect " +
                           lispString((dir / "notes.txt").string()) +
                           ") (erase-buffer) (insert \"new text\\n\"))"
                           " (with-current-buffer \"*scratch*\" (erase-buffer)"
                           " (insert \"unsaved thought\")) t)";
  ASSERT_TRUE(server.eval(edit, 10).has_value());

  const auto log = std::make_shared<KeyLog>();
  LinuxDocumentSaver saver(toolsWith(log, fail("There is no X display to ask."), emacs.socket(),
                                     {{1, {::getuid(), "/usr/bin/emacs-gtk"}}}));
  const auto rescue = dir / "rescue";
  const auto output = saver.saveNow(rescue, {}, {});

  const auto copy = rescue / "Emacs - scratch.txt";
  EXPECT_EQ(output.results,
            (std::vector<SaverResult>{
                {.bundleID = "emacs",
                 .appName = "Emacs",
                 .outcome = SaverOutcome::saved,
                 .saved = 1,
                 .rescued = 1,
                 .detail = "Saved copies of unsaved buffers in the rescue folder."}}));
  EXPECT_EQ(output.rescued, (std::vector<RescuedDocument>{{.appBundleID = "emacs",
                                                           .appName = "Emacs",
                                                           .originalTitle = "*scratch*",
                                                           .path = copy.string()}}));
  EXPECT_EQ(testing::readFile(dir / "notes.txt"), "new text\n");
  EXPECT_EQ(testing::readFile(copy), "unsaved thought");
  // A later pass doesn't save the file again, and rescues the buffer still unsaved (a rescued
  // buffer stays modified: Emacs still knows it isn't saved) as a new copy beside the first.
  ASSERT_TRUE(server.eval("(with-current-buffer \"*scratch*\" (insert \" more\") t)", 10));
  const auto again = saver.saveNow(rescue, {}, {});
  ASSERT_EQ(again.results.size(), 1u);
  EXPECT_EQ(again.results[0].saved, 0);
  EXPECT_EQ(again.results[0].rescued, 1);
  EXPECT_EQ(testing::readFile(rescue / "Emacs - scratch (2).txt"), "unsaved thought more");
  // Excluded, Emacs isn't asked at all.
  EXPECT_TRUE(saver.saveNow(rescue, {}, {"emacs"}).results.empty());
  EXPECT_FALSE(std::filesystem::exists(rescue / "Emacs - scratch (3).txt"));
}

TEST(LinuxDocumentSaver, AHungApplicationCostsOnlyItsOwnResult) {
  TempDir dir;
  SilentSocket hung((dir / "hung").string());
  ASSERT_TRUE(hung.ok());
  const auto log = std::make_shared<KeyLog>();
  const std::vector<ClientWindow> windows = {{.id = "11", .pid = 20},
                                             {.id = "12", .pid = 21},
                                             {.id = "13", .pid = 20},
                                             {.id = "14", .pid = 22}};
  const std::map<int, std::pair<uid_t, std::string>> processes = {
      {5, {::getuid(), "/usr/bin/emacs"}},
      {20, {::getuid(), "/opt/writer"}},
      {21, {::getuid(), "/opt/notes"}},
      {22, {::getuid(), "/opt/secret"}}};
  const std::set<std::string> commandS = {"org.example.writer", "org.example.secret"};
  const std::set<std::string> excluding = {"org.example.secret"};

  LinuxDocumentSaver saver(toolsWith(log, windows, (dir / "hung").string(), processes),
                           {.pass = 10, .emacs = 0.5});
  const auto started = Clock::now();
  auto output = saver.saveNow(dir / "rescue", commandS, excluding);
  EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
  ASSERT_EQ(output.results.size(), 3u);
  EXPECT_EQ(output.results[0].outcome, SaverOutcome::failed);
  EXPECT_EQ(output.results[0].detail, "Emacs didn't answer in time.");
  EXPECT_EQ(output.results[1], (SaverResult{.bundleID = "org.example.writer",
                                            .appName = "Writer",
                                            .outcome = SaverOutcome::pressedCommandS,
                                            .detail = "Pressed Ctrl+S in 2 of its 2 windows."}));
  EXPECT_EQ(output.results[2].bundleID, "org.example.notes");
  EXPECT_EQ(output.results[2].outcome, SaverOutcome::notSupported);
  // Each of the writer's windows in turn, the secret one never, then the first active again.
  EXPECT_EQ(log->all(), (std::vector<std::string>{"activate 11", "press", "activate 13", "press",
                                                  "activate 99"}));

  // A pass whose budget runs out answers then, and its worker asks nothing more afterwards.
  const auto stuck = std::make_shared<KeyLog>();
  LinuxDocumentSaver slow(toolsWith(stuck, windows, (dir / "none").string(), processes, "11"),
                          {.pass = 0.4, .emacs = 0.5});
  const auto begun = Clock::now();
  output = slow.saveNow(dir / "rescue", {"org.example.writer", "org.example.notes"}, {});
  EXPECT_LT(Clock::now() - begun, std::chrono::milliseconds(1200));
  ASSERT_EQ(output.results.size(), 4u);
  EXPECT_EQ(output.results[0].outcome, SaverOutcome::notSupported);  // no server at that path
  for (std::size_t i : {1u, 2u, 3u}) EXPECT_EQ(output.results[i].outcome, SaverOutcome::failed);
  EXPECT_EQ(output.results[1].detail, "It didn't answer in time.");
  EXPECT_EQ(output.results[2].detail, "Brimwell ran out of time before asking it to save.");
  std::this_thread::sleep_for(std::chrono::milliseconds(1800));
  EXPECT_EQ(stuck->all(), (std::vector<std::string>{"activate 11"}));

  // An application whose asking throws costs only its own result too.
  const auto broken = std::make_shared<KeyLog>();
  LinuxDocumentSaver throwing(
      toolsWith(broken, windows, (dir / "none").string(), processes, {}, "11"), {.pass = 5});
  output = throwing.saveNow(dir / "rescue", {"org.example.writer"}, {});
  ASSERT_EQ(output.results.size(), 4u);
  EXPECT_EQ(output.results[1],
            (SaverResult{.bundleID = "org.example.writer",
                         .appName = "Writer",
                         .outcome = SaverOutcome::failed,
                         .detail = "Asking it to save stopped with an internal error."}));
  EXPECT_EQ(output.results[2].bundleID, "org.example.notes");
  EXPECT_EQ(output.results[3].bundleID, "org.example.secret");
}

}  // namespace
}  // namespace brimwell
