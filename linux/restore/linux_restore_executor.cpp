#include "linux/restore/linux_restore_executor.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <exception>
#include <filesystem>
#include <map>
#include <set>
#include <thread>
#include <type_traits>

#include "linux/capture/folder_titles.h"
#include "linux/capture/tmux_panes.h"
#include "linux/private_file.h"
#include "linux/restore/clipboard_server.h"
#include "linux/restore/exec_line.h"
#include "linux/restore/konsole_tabs.h"
#include "linux/restore/launch_commands.h"
#include "linux/restore/session_window_control.h"
#include "linux/restore/step_description.h"
#include "linux/restore/window_matching.h"

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

// `sentence` to follow a colon inside another sentence.
std::string clause(std::string sentence) {
  if (!sentence.empty()) {
    sentence[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(sentence[0])));
  }
  while (!sentence.empty() && sentence.back() == '.') sentence.pop_back();
  return sentence;
}

bool isDirectory(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

bool exists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(path, error);
}

template <class Condition>
bool waitFor(Condition condition, double seconds) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

std::string seconds(double value) { return std::to_string(static_cast<int>(value + 0.5)); }

}  // namespace

LinuxRestorePlatform LinuxRestorePlatform::forSession() {
  LinuxRestorePlatform platform;
  platform.programs = std::make_unique<PosixPrograms>();
  platform.windows = windowControlForSession();
  platform.apps = std::make_unique<XdgAppDirectory>(XdgAppDirectory::forEnvironment());
  platform.processes = std::make_unique<ProcProcessTable>();
  platform.fileManager = std::make_unique<BusFileManager>();
  return platform;
}

// The handlers of one plan's steps.
class LinuxRestoreExecutor::Steps {
 public:
  Steps(LinuxRestorePlatform& platform, const LinuxRestoreOptions& options, const RestorePlan& plan)
      : p_(platform), options_(options), plan_(plan), states_(options.windowStates) {}

  RestoreStepOutcome run(const RestoreStep& step) {
    return std::visit([this](const auto& s) { return handle(s); }, step.value());
  }

 private:
  // Moves window `id` to `frame` and waits until the window manager shows it there, asking
  // again meanwhile: a window manager may still be placing a window it has just mapped, and
  // would then put it back where its own placement wanted it.
  Status placeAndConfirm(WindowId id, const Rect& frame) {
    const auto near = [](double a, double b, double slack) { return std::abs(a - b) <= slack; };
    std::optional<Error> problem;
    const bool there = waitFor(
        [&] {
          if (auto placed = p_.windows->place(id, frame); !placed) {
            problem = placed.error();
            return true;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(100));
          const auto desktop = p_.windows->desktop();
          if (!desktop) return false;
          return std::any_of(
              desktop->windows.begin(), desktop->windows.end(), [&](const DesktopWindow& w) {
                // Sizes may be rounded to the window's resize steps.
                return w.id == id && w.frame && near(w.frame->x, frame.x, 2) &&
                       near(w.frame->y, frame.y, 2) && near(w.frame->width, frame.width, 32) &&
                       near(w.frame->height, frame.height, 32);
              });
        },
        options_.windowWait);
    if (problem) return Unexpected(*problem);
    if (!there) return fail("The window manager kept the window away from its recorded frame.");
    return {};
  }

  // Asks for window `id`'s states and waits until the window manager shows them: it may refuse,
  // for instance full screen to a window that can't be resized. A window only just shown may
  // lose them again as its program finishes starting, so they are watched for a moment and asked
  // for once more when they didn't hold.
  Status setAndConfirmState(WindowId id, bool minimized, bool fullScreen) {
    const auto showsThem = [&] {
      const auto desktop = p_.windows->desktop();
      return desktop && std::any_of(desktop->windows.begin(), desktop->windows.end(),
                                    [&](const DesktopWindow& w) {
                                      return w.id == id && w.hidden == minimized &&
                                             w.fullScreen == fullScreen;
                                    });
    };
    for (int attempt = 0; attempt < 2; ++attempt) {
      if (auto asked = p_.windows->setState(id, minimized, fullScreen); !asked) return asked;
      if (!waitFor(showsThem, options_.windowWait)) {
        return fail(std::string("the window manager didn't ") +
                    (minimized ? "minimise the window" : "make the window full screen"));
      }
      if (!waitFor([&] { return !showsThem(); }, 0.5)) break;
    }
    return {};
  }

  // Places reopened window `id` at `frame` and gives it the state the snapshot recorded for the
  // window of `bundleID` there.
  Status placeAsRecorded(WindowId id, std::string_view bundleID, const Rect& frame) {
    if (auto placed = placeAndConfirm(id, frame); !placed) return placed;
    const auto state = states_.take(bundleID, frame);
    if (!state || (!state->minimized && !state->fullScreen)) return {};
    return setAndConfirmState(id, state->minimized, state->fullScreen);
  }

  // The ids of the windows there are now, or none when the display can't be asked.
  std::set<WindowId> windowIDs() {
    std::set<WindowId> ids;
    if (auto desktop = p_.windows->desktop()) {
      for (const auto& window : desktop->windows) ids.insert(window.id);
    }
    return ids;
  }

  // The first window of process `pid`, waiting at most the window wait for it to appear.
  std::optional<WindowId> windowOfProcess(pid_t pid) {
    std::optional<WindowId> found;
    waitFor(
        [&] {
          if (auto desktop = p_.windows->desktop()) {
            for (const auto& window : desktop->windows) {
              if (window.pid == pid) found = window.id;
            }
          }
          return found.has_value() || ended(pid).has_value();
        },
        options_.windowWait);
    return found;
  }

  // The first window not in `before`, waiting at most the window wait.
  std::optional<WindowId> newWindow(const std::set<WindowId>& before) {
    std::optional<WindowId> found;
    waitFor(
        [&] {
          for (const auto& id : windowIDs()) {
            if (!before.contains(id)) found = id;
          }
          return found.has_value();
        },
        options_.windowWait);
    return found;
  }

  // The window the file manager opened for `folder`: a window not in `before` titled after the
  // folder, waiting at most the window wait. A file manager may open another window first, or
  // show an earlier folder's window late, so the first new window alone can be the wrong one;
  // only when no new window ever names the folder is the first one seen taken.
  std::optional<WindowId> newFolderWindow(const std::set<WindowId>& before,
                                          const std::string& folder) {
    std::optional<WindowId> titled, first;
    waitFor(
        [&] {
          const auto desktop = p_.windows->desktop();
          if (!desktop) return false;
          for (const auto& window : desktop->windows) {
            if (before.contains(window.id)) continue;
            if (!first) first = window.id;
            if (titleNamesFolder(window.title, folder)) titled = window.id;
          }
          return titled.has_value();
        },
        options_.windowWait);
    return titled ? titled : first;
  }

  RestoreStepOutcome handle(const RestoreStep::LaunchApp& step) {
    const AppRecord& app = step.app;
    const std::string name = appName(app);
    if (launchLeftToWindowSteps(plan_, app)) {
      return RestoreStepOutcome::skipped(name + " opens with the windows this restore reopens.");
    }
    std::vector<std::string> argv;
    if (app.bundleID) {
      if (auto words = p_.apps->execFor(*app.bundleID)) argv = execCommands(*words, {}).front();
    }
    if (argv.empty() && !app.path.empty() && app.path.front() == '/') argv = {app.path};
    if (argv.empty()) {
      return RestoreStepOutcome::failed("No desktop file or program is known to start " + name +
                                        ".");
    }
    const auto pid = p_.programs->start(argv, {});
    if (!pid) {
      return RestoreStepOutcome::failed(
          name + " can't be started: " + clause(pid.error().message()) + ".");
    }
    std::optional<int> quit;
    waitFor(
        [&] {
          quit = ended(*pid);
          if (quit) return true;
          auto desktop = p_.windows->desktop();
          return desktop && std::any_of(desktop->windows.begin(), desktop->windows.end(),
                                        [&](const DesktopWindow& w) { return w.pid == *pid; });
        },
        options_.windowWait);
    // A program that ends at once with success has handed over to a running instance.
    if (quit && *quit != 0) {
      return RestoreStepOutcome::failed(name + " quit at once with exit status " +
                                        std::to_string(*quit) + ".");
    }
    return RestoreStepOutcome::done();
  }

  RestoreStepOutcome handle(const RestoreStep::OpenDocuments& step) {
    std::vector<std::string> present;
    std::vector<std::string> missing;
    for (const auto& path : step.paths) {
      if (path.empty() || path.front() != '/') {
        return RestoreStepOutcome::failed("The document path \"" + path +
                                          "\" isn't an absolute path.");
      }
      (exists(path) ? present : missing).push_back(path);
    }
    if (present.empty()) {
      return RestoreStepOutcome::failed(
          missing.size() == 1
              ? "The document " + missing.front() + " no longer exists."
              : "None of the " + std::to_string(missing.size()) + " documents exists any more.");
    }
    std::vector<std::vector<std::string>> commands;
    std::string with;
    if (step.appBundleID) {
      if (auto words = p_.apps->execFor(*step.appBundleID)) {
        commands = execCommands(*words, present);
        with = *step.appBundleID;
      }
    }
    if (commands.empty() && !step.appPath.empty()) {
      std::vector<std::string> line = {step.appPath};
      line.insert(line.end(), present.begin(), present.end());
      commands.push_back(std::move(line));
      with = std::filesystem::path(step.appPath).filename().string();
    }
    if (commands.empty()) {
      for (const auto& path : present) commands.push_back({"xdg-open", path});
      with = "xdg-open";
    }
    for (const auto& command : commands) {
      if (const auto pid = p_.programs->start(command, {}); !pid) {
        return RestoreStepOutcome::failed(
            with + " can't be started: " + clause(pid.error().message()) + ".");
      }
    }
    if (!missing.empty()) {
      return RestoreStepOutcome::failed(std::to_string(missing.size()) + " of the " +
                                        std::to_string(step.paths.size()) +
                                        " documents no longer exist, the first being " +
                                        missing.front() + "; the others were opened.");
    }
    return RestoreStepOutcome::done();
  }

  RestoreStepOutcome handle(const RestoreStep::OpenBrowserWindow& step) {
    const std::string program(defaultProgram(step.browser));
    const auto command = browserWindowCommand(step.browser, program, step.window);
    if (!command) return RestoreStepOutcome::failed(command.error().message());
    const auto before = windowIDs();
    if (const auto started = p_.programs->start(*command, {}); !started) {
      return RestoreStepOutcome::failed(
          program + " can't be started: " + clause(started.error().message()) + ".");
    }
    const auto window = newWindow(before);
    if (!window) {
      return RestoreStepOutcome::failed(program + " showed no new window within " +
                                        seconds(options_.windowWait) + " seconds.");
    }
    if (step.window.bounds) {
      if (auto placed = placeAsRecorded(*window, bundleID(step.browser), *step.window.bounds);
          !placed) {
        return RestoreStepOutcome::failed(
            "The window opened but can't be placed: " + clause(placed.error().message()) + ".");
      }
    }
    return RestoreStepOutcome::done();
  }

  RestoreStepOutcome handle(const RestoreStep::OpenFinderWindow& step) {
    const std::string& folder = step.window.path;
    if (folder.empty() || folder.front() != '/' || !isDirectory(folder)) {
      return RestoreStepOutcome::failed("The folder " + folder + " no longer exists.");
    }
    const auto before = windowIDs();
    Status shown = p_.fileManager ? p_.fileManager->showFolder(folder)
                                  : Status(fail("no file manager is asked on the bus", ENOENT));
    if (!shown && shown.error().code() != ENOENT) {
      return RestoreStepOutcome::failed("The file manager can't show the folder " + folder + ": " +
                                        clause(shown.error().message()) + ".");
    }
    if (!shown) {
      // Without a file manager on the bus, the desktop's default program for folders.
      if (const auto pid = p_.programs->start({"xdg-open", folder}, {}); !pid) {
        return RestoreStepOutcome::failed(
            "No file manager can show folders: " + clause(shown.error().message()) +
            ", and xdg-open can't be started: " + clause(pid.error().message()) + ".");
      }
    }
    if (!step.window.bounds) return RestoreStepOutcome::done();
    const auto window = newFolderWindow(before, folder);
    if (!window) {
      return RestoreStepOutcome::failed("The folder showed in no new window within " +
                                        seconds(options_.windowWait) +
                                        " seconds, so it wasn't placed.");
    }
    if (auto placed = placeAndConfirm(*window, *step.window.bounds); !placed) {
      return RestoreStepOutcome::failed(
          "The window opened but can't be placed: " + clause(placed.error().message()) + ".");
    }
    return RestoreStepOutcome::done();
  }

  RestoreStepOutcome tmuxWindow(const TerminalWindowRecord& window) {
    for (const auto& tab : window.tabs) {
      if (!tab.directory || tab.directory->empty() || tab.directory->front() != '/') {
        return RestoreStepOutcome::failed("A tab of the tmux window has no absolute directory.");
      }
      if (!isDirectory(*tab.directory)) {
        return RestoreStepOutcome::failed("The directory " + *tab.directory + " no longer exists.");
      }
    }
    const auto tmux = [&](std::vector<std::string> arguments) {
      std::vector<std::string> argv = {"tmux", "-u"};  // names and paths beyond ASCII as they are
      argv.insert(argv.end(), options_.tmuxServer.begin(), options_.tmuxServer.end());
      argv.insert(argv.end(), arguments.begin(), arguments.end());
      return p_.programs->run(argv, options_.commandTimeout);
    };
    const std::string& first = *window.tabs.front().directory;
    // The window goes back into its session under its name (naming it keeps tmux from renaming
    // it after the shell); a session that is gone is made anew.
    const auto name = parseTmuxTabTitle(window.tabs.front().title);
    std::vector<std::string> newWindow = {"new-window",   "-d", "-P", "-F",
                                          "#{window_id}", "-c", first};
    std::vector<std::string> newSession = {"new-session",  "-d", "-P", "-F",
                                           "#{window_id}", "-c", first};
    if (name) {
      newWindow.insert(newWindow.end(), {"-t", "=" + name->session + ":", "-n", name->window});
      newSession.insert(newSession.end(), {"-s", name->session, "-n", name->window});
    }
    auto opened = tmux(newWindow);
    if (!opened) {
      return RestoreStepOutcome::failed("tmux can't be run: " + clause(opened.error().message()) +
                                        ".");
    }
    if (opened->exitStatus != 0) {  // no server, or no such session yet
      opened = tmux(newSession);
    }
    if (!opened || opened->exitStatus != 0) {
      return RestoreStepOutcome::failed("tmux didn't open a window in " + first + ".");
    }
    std::string id = opened->out.substr(0, opened->out.find('\n'));
    for (std::size_t i = 1; i < window.tabs.size(); ++i) {
      const auto split = tmux({"split-window", "-d", "-t", id, "-c", *window.tabs[i].directory});
      if (!split || split->exitStatus != 0) {
        return RestoreStepOutcome::failed("tmux didn't open a pane in " +
                                          *window.tabs[i].directory + ".");
      }
    }
    return RestoreStepOutcome::done();
  }

  RestoreStepOutcome handle(const RestoreStep::OpenTerminalWindow& step) {
    if (step.app == TerminalKind::tmux) return tmuxWindow(step.window);
    const std::string program(defaultProgram(step.app));
    const auto launches = emulatorWindowLaunches(step.app, program, step.window);
    if (!launches) return RestoreStepOutcome::failed(launches.error().message());
    for (const auto& launch : *launches) {
      if (!isDirectory(launch.directory)) {
        return RestoreStepOutcome::failed("The directory " + launch.directory +
                                          " no longer exists.");
      }
    }
    std::optional<pid_t> firstPid;
    // Kept until the window shows: the program reads them as it starts.
    std::vector<PrivateFile> files;
    for (auto launch : *launches) {
      if (!launch.file.empty()) {
        files.emplace_back(launch.file, ".session");
        if (files.back().path().empty()) {
          return RestoreStepOutcome::failed("The file " + program +
                                            " starts from can't be written.");
        }
        launch.argv.push_back(files.back().path());
      }
      const auto pid = p_.programs->start(launch.argv, launch.directory);
      if (!pid) {
        return RestoreStepOutcome::failed(
            program + " can't be started: " + clause(pid.error().message()) + ".");
      }
      if (!firstPid) firstPid = *pid;
    }
    if (step.app == TerminalKind::konsole && step.window.tabs.size() > 1) {
      std::vector<std::string> others;
      for (std::size_t i = 1; i < step.window.tabs.size(); ++i) {
        others.push_back(*step.window.tabs[i].directory);
      }
      const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(
          std::chrono::duration<double>(options_.windowWait));
      if (auto opened = openKonsoleTabs(*firstPid, others, wait); !opened) {
        return RestoreStepOutcome::failed(opened.error().message());
      }
    }
    if (!step.window.bounds) {
      if (!files.empty()) windowOfProcess(*firstPid);
      return RestoreStepOutcome::done();
    }
    const auto window = windowOfProcess(*firstPid);
    if (!window) {
      if (const auto quit = ended(*firstPid)) {
        return RestoreStepOutcome::failed(program + " quit at once with exit status " +
                                          std::to_string(*quit) + ".");
      }
      return RestoreStepOutcome::failed(program + " showed no window within " +
                                        seconds(options_.windowWait) +
                                        " seconds, so it wasn't placed.");
    }
    if (auto placed = placeAsRecorded(*window, bundleID(step.app), *step.window.bounds); !placed) {
      return RestoreStepOutcome::failed(
          "The window opened but can't be placed: " + clause(placed.error().message()) + ".");
    }
    return RestoreStepOutcome::done();
  }

  // The application's windows now, front to back: those of its processes (same executable), or
  // without a path those whose class is its name.
  std::vector<DesktopWindow> windowsOf(const AppRecord& app, const Desktop& desktop) {
    std::vector<DesktopWindow> mine;
    for (const auto& window : desktop.windows) {
      const bool ours = !app.path.empty()
                            ? window.pid && p_.processes->executable(*window.pid) == app.path
                            : !app.name.empty() && window.appClass == app.name;
      if (ours) mine.push_back(window);
    }
    return mine;
  }

  RestoreStepOutcome handle(const RestoreStep::PlaceWindows& step) {
    const AppRecord& app = step.app;
    const std::string name = appName(app);
    std::vector<DesktopWindow> current;
    std::optional<Error> problem;
    // A program launched a moment ago may still be opening its windows.
    waitFor(
        [&] {
          auto desktop = p_.windows->desktop();
          if (!desktop) {
            problem = desktop.error();
            return true;
          }
          current = windowsOf(app, *desktop);
          return current.size() >= app.windows.size();
        },
        options_.windowWait);
    if (problem) {
      return RestoreStepOutcome::failed("The windows of " + name +
                                        " can't be listed: " + clause(problem->message()) + ".");
    }
    const auto matches = matchWindows(app.windows, current);
    std::size_t placed = 0;
    for (std::size_t i = 0; i < app.windows.size(); ++i) {
      const WindowRecord& record = app.windows[i];
      if (!matches[i]) continue;
      Status moved = record.frame ? placeAndConfirm(*matches[i], *record.frame) : Status{};
      if (moved && (record.isMinimized || record.isFullScreen)) {
        moved = setAndConfirmState(*matches[i], record.isMinimized, record.isFullScreen);
      }
      if (!moved) {
        return RestoreStepOutcome::failed(
            "A window of " + name + " can't be placed: " + clause(moved.error().message()) + ".");
      }
      ++placed;
    }
    if (placed == app.windows.size()) return RestoreStepOutcome::done();
    if (placed == 0) return RestoreStepOutcome::failed("No window of " + name + " is open.");
    return RestoreStepOutcome::failed(std::to_string(placed) + " of the " +
                                      std::to_string(app.windows.size()) + " windows of " + name +
                                      " were placed; the others aren't open.");
  }

  RestoreStepOutcome handle(const RestoreStep::RestoreClipboard& step) {
    if (step.clipboard.items.empty()) {
      return RestoreStepOutcome::skipped("The recorded clipboard holds nothing.");
    }
    if (plan_.clipboardChangeCount) {
      const auto owner = p_.windows->clipboardMark();
      if (!owner) {
        return RestoreStepOutcome::failed(
            "The clipboard can't be checked: " + clause(owner.error().message()) + ".");
      }
      if (*owner != *plan_.clipboardChangeCount) {
        return RestoreStepOutcome::skipped(
            "The clipboard changed after the restore was planned, so it was left as it is.");
      }
    }
    if (auto handed = handClipboardToServer(options_.clipboardServer, step.clipboard,
                                            options_.commandTimeout);
        !handed) {
      return RestoreStepOutcome::failed(
          "The clipboard can't be restored: " + clause(handed.error().message()) + ".");
    }
    return RestoreStepOutcome::done();
  }

  // How a started program ended, remembered: its status can be collected only once.
  std::optional<int> ended(pid_t pid) {
    if (const auto known = ended_.find(pid); known != ended_.end()) return known->second;
    const auto status = p_.programs->ended(pid);
    if (status) ended_.emplace(pid, *status);
    return status;
  }

  LinuxRestorePlatform& p_;
  const LinuxRestoreOptions& options_;
  const RestorePlan& plan_;
  RecordedWindowStates states_;  // each recorded window's state is given to one reopened window
  std::map<pid_t, int> ended_;
};

LinuxRestoreExecutor::LinuxRestoreExecutor(LinuxRestorePlatform platform,
                                           LinuxRestoreOptions options)
    : platform_(std::move(platform)), options_(std::move(options)) {}

LinuxRestoreExecutor::~LinuxRestoreExecutor() {
  if (worker_.joinable()) worker_.join();
}

void LinuxRestoreExecutor::execute(const RestorePlan& plan, ProgressHandler progress,
                                   Completion completion) {
  if (worker_.joinable()) worker_.join();
  worker_ =
      std::thread([this, plan, progress = std::move(progress), completion = std::move(completion)] {
        RestoreReport report = executeNow(plan, progress);
        if (completion) completion(std::move(report));
      });
}

RestoreReport LinuxRestoreExecutor::executeNow(const RestorePlan& plan,
                                               const ProgressHandler& progress) {
  std::lock_guard serial(running_);
  RestoreReport report{plan.snapshotID, {}};
  const int total = static_cast<int>(plan.steps.size());
  Steps steps(platform_, options_, plan);
  for (int i = 0; i < total; ++i) {
    const RestoreStep& step = plan.steps[static_cast<std::size_t>(i)];
    if (progress) progress({i, total, describeStep(step)});
    // A step that throws (out of memory, say) fails alone; the plan goes on.
    RestoreStepOutcome outcome = RestoreStepOutcome::done();
    try {
      outcome = steps.run(step);
    } catch (const std::exception&) {
      outcome = RestoreStepOutcome::failed("This step stopped with an internal error.");
    }
    report.results.push_back({step, std::move(outcome)});
  }
  if (progress) progress({total, total, ""});
  return report;
}

}  // namespace brimwell
