// The executor over fake programs and a fake window manager: a step that fails never stops the
// plan, launched windows get their frames, and a clipboard changed since planning is left alone.
#include "linux/restore/linux_restore_executor.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <new>

#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

struct World {
  std::map<pid_t, std::vector<std::string>> started;  // pid → argv
  std::map<pid_t, std::string> directories;
  // pid → the text and permissions of the file its argv ends with, as it started
  std::map<pid_t, std::pair<std::string, std::filesystem::perms>> files;
  std::vector<DesktopWindow> windows;  // what the fake window manager lists
  std::map<WindowId, Rect> placed;
  std::map<WindowId, std::pair<bool, bool>> states;
  std::int64_t clipboardMark = 0;
  pid_t next = 100;
};

class FakePrograms final : public Programs {
 public:
  explicit FakePrograms(World& world) : w_(world) {}
  Result<pid_t> start(const std::vector<std::string>& argv, const std::string& directory) override {
    if (argv.front().rfind("/missing/", 0) == 0) return failPosix(ENOENT);
    if (argv.front().rfind("/throws/", 0) == 0) throw std::bad_alloc();
    const pid_t pid = w_.next++;
    w_.started[pid] = argv;
    w_.directories[pid] = directory;
    if (argv.size() > 1 && std::filesystem::is_regular_file(argv.back())) {
      std::ifstream file(argv.back());
      w_.files[pid] = {std::string(std::istreambuf_iterator<char>(file), {}),
                       std::filesystem::status(argv.back()).permissions()};
    }
    // Every program shows one window straight away.
    w_.windows.push_back({.id = std::to_string(pid * 10), .pid = pid, .title = argv.front()});
    return pid;
  }
  std::optional<int> ended(pid_t) override { return std::nullopt; }
  Result<ChildOutput> run(const std::vector<std::string>&, double) override {
    return fail("not used");
  }

 private:
  World& w_;
};

class FakeWindows final : public WindowControl {
 public:
  explicit FakeWindows(World& world) : w_(world) {}
  Result<Desktop> desktop() override { return Desktop{w_.windows, std::nullopt}; }
  Status place(const WindowId& id, const Rect& frame) override {
    w_.placed[id] = frame;
    for (auto& window : w_.windows) {
      if (window.id == id) window.frame = frame;
    }
    return {};
  }
  Status setState(const WindowId& id, bool minimized, bool fullScreen) override {
    w_.states[id] = {minimized, fullScreen};
    for (auto& window : w_.windows) {
      if (window.id != id) continue;
      window.hidden = minimized;
      window.fullScreen = fullScreen;
    }
    return {};
  }
  Result<std::int64_t> clipboardMark() override { return w_.clipboardMark; }

 private:
  World& w_;
};

class NoDesktopFiles final : public AppDirectory {
 public:
  std::optional<std::vector<std::string>> execFor(std::string_view) override {
    return std::nullopt;
  }
};

class ProgramsByPid final : public ProcessTable {
 public:
  explicit ProgramsByPid(World& world) : w_(world) {}
  std::vector<ProcessEntry> processes() override { return {}; }
  std::optional<std::string> executable(int pid) override {
    const auto found = w_.started.find(pid);
    if (found == w_.started.end()) return std::nullopt;
    return found->second.front();
  }
  std::optional<std::string> environmentValue(int, std::string_view) override {
    return std::nullopt;
  }
  std::optional<std::string> workingDirectory(int) override { return std::nullopt; }
  std::vector<std::string> openFiles(int) override { return {}; }

 private:
  World& w_;
};

// A file manager on the bus that shows each folder in a new window, or fails as told; `stray`
// also opens a window of its own in front of the folder's.
class FakeFileManager final : public FileManager {
 public:
  FakeFileManager(World& world, std::optional<Error> failure, bool stray = false)
      : w_(world), failure_(failure), stray_(stray) {}
  Status showFolder(const std::string& folder) override {
    if (failure_) return Unexpected(*failure_);
    if (stray_) w_.windows.push_back({.id = "stray", .title = "Files"});
    w_.windows.push_back({.id = "folder " + folder, .title = folder});
    return {};
  }

 private:
  World& w_;
  std::optional<Error> failure_;
  bool stray_;
};

LinuxRestoreExecutor executorFor(World& world, std::unique_ptr<FileManager> fileManager = nullptr) {
  LinuxRestorePlatform platform;
  platform.fileManager = std::move(fileManager);
  platform.programs = std::make_unique<FakePrograms>(world);
  platform.windows = std::make_unique<FakeWindows>(world);
  platform.apps = std::make_unique<NoDesktopFiles>();
  platform.processes = std::make_unique<ProgramsByPid>(world);
  return LinuxRestoreExecutor(std::move(platform), {.windowWait = 0.2, .commandTimeout = 1});
}

TEST(RestoreExecutor, KittyReadsItsTabsFromAPrivateFileThatIsGoneOnceItsWindowShows) {
  World world;
  testing::TempDir dir;
  const std::string a = dir.path().string();
  std::filesystem::create_directories(dir / "b");
  const std::string b = (dir / "b").string();
  const RestorePlan plan{
      "20260301T140509.250Z",
      {RestoreStep::openTerminalWindow(TerminalKind::kitty, {.tabs = {{a, "a"}, {b, "b"}}})},
      std::nullopt};
  const auto report = executorFor(world).executeNow(plan, {});
  ASSERT_EQ(report.results.size(), 1u);
  EXPECT_EQ(report.results[0].outcome, RestoreStepOutcome::done());
  ASSERT_EQ(world.started.size(), 1u);
  const auto& argv = world.started.begin()->second;
  ASSERT_EQ(argv.size(), 3u);
  EXPECT_EQ(argv[1], "--session");
  const auto& [text, perms] = world.files[world.started.begin()->first];
  EXPECT_EQ(text, "launch --cwd='" + a + "'\nnew_tab\nlaunch --cwd='" + b + "'\n");
  EXPECT_EQ(perms, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  EXPECT_FALSE(std::filesystem::exists(argv[2])) << argv[2];
}

TEST(RestoreExecutor, AFailedStepDoesNotStopThePlanAndEveryStepIsReported) {
  World world;
  testing::TempDir dir;
  const std::string folder = dir.path().string();
  const Rect frame{10, 20, 300, 200};
  const AppRecord missing{.path = "/missing/editor", .name = "Editor"};
  const AppRecord throwing{.path = "/throws/player", .name = "Player"};
  const AppRecord viewer{.path = "/usr/bin/viewer",
                         .name = "Viewer",
                         .windows = {{.title = "two", .frame = frame, .isMinimized = true}}};
  ClipboardRecord clipboard({{{"UTF8_STRING", {'h', 'i'}}}});
  RestorePlan plan{
      "20260301T140509.250Z",
      {RestoreStep::launchApp(missing), RestoreStep::launchApp(throwing),
       RestoreStep::launchApp(viewer),
       RestoreStep::openTerminalWindow(TerminalKind::xterm,
                                       {.bounds = Rect{5, 6, 400, 300}, .tabs = {{folder, "t"}}}),
       RestoreStep::openTerminalWindow(TerminalKind::xterm, {.tabs = {{folder + "/gone", "t"}}}),
       RestoreStep::placeWindows(viewer), RestoreStep::restoreClipboard(clipboard)},
      std::int64_t{41}};
  world.clipboardMark = 42;  // someone took the clipboard after planning
  std::vector<RestoreProgress> progress;
  const RestoreReport report =
      executorFor(world).executeNow(plan, [&](const RestoreProgress& p) { progress.push_back(p); });

  ASSERT_EQ(report.results.size(), plan.steps.size());
  EXPECT_EQ(report.snapshotID, plan.snapshotID);
  const std::vector<RestoreStepOutcome> expected = {
      RestoreStepOutcome::failed("Editor can't be started: no such file or directory."),
      RestoreStepOutcome::failed("This step stopped with an internal error."),
      RestoreStepOutcome::done(),
      RestoreStepOutcome::done(),
      RestoreStepOutcome::failed("The directory " + folder + "/gone no longer exists."),
      RestoreStepOutcome::done(),
      RestoreStepOutcome::skipped(
          "The clipboard changed after the restore was planned, so it was left as it is."),
  };
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(report.results[i].step, plan.steps[i]);
    EXPECT_EQ(report.results[i].outcome, expected[i]) << i;
  }
  // The viewer (pid 100) and one xterm (pid 101) were started; the xterm in its directory and
  // at its bounds, the viewer's window at its frame and minimised.
  ASSERT_EQ(world.started.size(), 2u);
  EXPECT_EQ(world.started[101], std::vector<std::string>{"xterm"});
  EXPECT_EQ(world.directories[101], folder);
  EXPECT_EQ(world.placed["1010"], (Rect{5, 6, 400, 300}));
  EXPECT_EQ(world.placed["1000"], frame);
  EXPECT_EQ(world.states["1000"], std::make_pair(true, false));
  ASSERT_EQ(progress.size(), plan.steps.size() + 1);
  EXPECT_EQ(progress.front(), (RestoreProgress{0, 7, "Launch Editor"}));
  EXPECT_EQ(progress.back(), (RestoreProgress{7, 7, ""}));
}

// A folder opens through the file manager on the bus and is placed at its bounds; without one
// xdg-open opens it; a file manager that fails, or a folder that is gone, is one sentence. The
// window placed is the one titled after the folder, whatever else opened beside it.
TEST(RestoreExecutor, FolderWindowsOpenThroughTheFileManagerElseXdgOpen) {
  testing::TempDir dir;
  const std::string folder = dir.path().string();
  const Rect frame{30, 40, 600, 400};
  const struct {
    const char* what;
    std::optional<Error> busFailure;
    std::string path;
    RestoreStepOutcome outcome;
    bool xdgOpen;
    bool placed;
    bool stray = false;
  } cases[] = {
      {"the bus shows it", std::nullopt, folder, RestoreStepOutcome::done(), false, true},
      {"another window opens in front", std::nullopt, folder, RestoreStepOutcome::done(), false,
       true, true},
      {"nothing answers on the bus",
       Error("nothing on the session bus answers to org.freedesktop.FileManager1", ENOENT), folder,
       RestoreStepOutcome::done(), true, true},
      {"the file manager refuses", Error("the location isn't supported"), folder,
       RestoreStepOutcome::failed("The file manager can't show the folder " + folder +
                                  ": the location isn't supported."),
       false, false},
      {"the folder is gone", std::nullopt, folder + "/gone",
       RestoreStepOutcome::failed("The folder " + folder + "/gone no longer exists."), false,
       false},
  };
  for (const auto& c : cases) {
    World world;
    const auto report =
        executorFor(world, std::make_unique<FakeFileManager>(world, c.busFailure, c.stray))
            .executeNow({"id", {RestoreStep::openFinderWindow({c.path, frame})}, {}}, {});
    ASSERT_EQ(report.results.size(), 1u);
    EXPECT_EQ(report.results[0].outcome, c.outcome) << c.what;
    EXPECT_EQ(world.started.size(), c.xdgOpen ? 1u : 0u) << c.what;
    if (c.xdgOpen && !world.started.empty()) {
      EXPECT_EQ(world.started.begin()->second, (std::vector<std::string>{"xdg-open", folder}));
    }
    EXPECT_EQ(world.placed.size(), c.placed ? 1u : 0u) << c.what;
    for (const auto& [id, rect] : world.placed) {
      if (!c.xdgOpen) {
        EXPECT_EQ(id, "folder " + folder) << c.what;
      }
      EXPECT_EQ(rect, frame) << c.what;
    }
  }
}

}  // namespace
}  // namespace brimwell
