// Real browsers on a private X server, each with a throw-away profile: two windows of known tabs
// are opened, captured from the browser's own session file, the browser is quit, the windows are
// restored through the executor, and the session file the new browser writes must hold the same
// windows with the same tabs in the same order. The pages are files the test writes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <asio/io_context.hpp>
#include <fstream>

#include "brimwell/core/engine/manual_clock.h"
#include "brimwell/core/restore/restore_planner.h"
#include "linux/capture/browser_sessions.h"
#include "linux/capture/chromium_session_source.h"
#include "linux/capture/linux_workspace_capturer.h"
#include "linux/restore/launch_commands.h"
#include "linux/restore/linux_restore_executor.h"
#include "tests/restore/desktop_round_trip.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_session.h"

namespace brimwell {
namespace {

using testing::XSession;
using Tabs = std::vector<std::vector<std::string>>;  // per window, its tabs' URLs

// The executor's programs, each ended (SIGTERM, then SIGKILL) when the test is done with them.
class EndedPrograms final : public Programs {
 public:
  explicit EndedPrograms(std::vector<pid_t>& started) : started_(started) {}
  Result<pid_t> start(const std::vector<std::string>& argv, const std::string& directory) override {
    auto pid = real_.start(argv, directory);
    if (pid) started_.push_back(*pid);
    return pid;
  }
  std::optional<int> ended(pid_t pid) override { return real_.ended(pid); }
  Result<ChildOutput> run(const std::vector<std::string>& argv, double timeout) override {
    return real_.run(argv, timeout);
  }

 private:
  PosixPrograms real_;
  std::vector<pid_t>& started_;
};

// Ends what the executor started however the test ends; the pids are this process's children,
// not yet reaped, so none of them can belong to another process.
struct StartedGuard {
  std::vector<pid_t> pids;
  ~StartedGuard() {
    PosixPrograms reaper;
    for (const pid_t pid : pids) {
      if (reaper.ended(pid)) continue;
      ::kill(pid, SIGTERM);
      if (!XSession::waitUntil([&] { return reaper.ended(pid).has_value(); }, 3)) {
        ::kill(pid, SIGKILL);
        XSession::waitUntil([&] { return reaper.ended(pid).has_value(); }, 3);
      }
    }
  }
};

Tabs urlsOf(const std::vector<BrowserRecord>& records, BrowserKind kind) {
  Tabs tabs;
  for (const auto& record : records) {
    if (record.browser != kind) continue;
    for (const auto& window : record.windows) {
      tabs.emplace_back();
      for (const auto& tab : window.tabs) tabs.back().push_back(tab.url);
    }
  }
  return tabs;
}

std::string show(const Tabs& tabs) {
  std::string text;
  for (const auto& window : tabs) {
    text += "[";
    for (const auto& url : window) text += " " + url;
    text += " ] ";
  }
  return text.empty() ? "no windows" : text;
}

Snapshot captureBrowsers() {
  asio::io_context context;
  ManualClock clock(context, std::chrono::system_clock::now());
  testing::FixedMachine machine;
  LinuxWorkspaceCapturer capturer(LinuxCaptureSources::forSession(), clock, machine);
  return capturer.captureNow(CaptureTrigger::manual, std::nullopt, {}, false);
}

struct Browser {
  BrowserKind kind;
  std::string program;  // the name the executor starts it by
  std::string real;     // the installed program
  std::string package;
  // What every start of it gets, restores included; "$HOME" is the test's home.
  std::vector<std::string> flags;
  std::string sessionFolder;  // under the home: where its session files go
};

// A home of the test's own, the pages, and `browser.program` on PATH as a script that starts the
// real program with the test's flags.
struct Desk {
  testing::TempDir home;
  testing::ScopedEnvironment environment;
  std::vector<std::string> pages;

  Desk(const XSession& x, const Browser& browser) {
    std::filesystem::create_directories(home / "bin");
    std::filesystem::create_directories(home / ".config");
    for (const char* name : {"a", "b", "c", "d"}) {
      const auto page = home / (std::string(name) + ".html");
      std::ofstream(page) << "<html><head><title>Page " << name << "</title></head><body>" << name
                          << "</body></html>";
      pages.push_back("file://" + page.string());
    }
    std::string script = "#!/bin/sh\nexec " + browser.real;
    for (const auto& flag : browser.flags) script += " \"" + flag + "\"";
    const auto shim = home / "bin" / browser.program;
    std::ofstream(shim) << script << " \"$@\"\n";
    std::filesystem::permissions(shim, std::filesystem::perms::owner_all);
    environment.set("DISPLAY", x.display());
    environment.set("HOME", home.path().string());
    environment.set("XDG_CONFIG_HOME", (home / ".config").string());
    environment.set("PATH", (home / "bin").string() + ":" + std::getenv("PATH"));
  }
};

// The whole round trip; `open` opens the two windows [a, b] and [c, d] and returns the browser's
// pid, or the step that failed.
void roundTrip(const Browser& browser, const std::function<Result<pid_t>(XSession&, Desk&)>& open) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  Desk desk(x, browser);
  const Tabs expected = {{desk.pages[0], desk.pages[1]}, {desk.pages[2], desk.pages[3]}};

  const auto opened = open(x, desk);
  ASSERT_TRUE(opened) << browser.real << " (package " << browser.package
                      << "): " << opened.error().message();
  const pid_t first = *opened;
  // The browser writes its session a moment after a change; wait for both windows in it.
  Snapshot recorded;
  const bool seen = XSession::waitUntil(
      [&] {
        recorded = captureBrowsers();
        return urlsOf(recorded.browsers, browser.kind) == expected;
      },
      25);
  ASSERT_TRUE(seen) << "the session never held both windows; last seen: "
                    << show(urlsOf(recorded.browsers, browser.kind));
  ASSERT_TRUE(std::any_of(recorded.apps.begin(), recorded.apps.end(), [&](const AppRecord& app) {
    return app.bundleID == std::string(bundleID(browser.kind));
  })) << "the browser's windows weren't recorded as its application's";

  x.end(first);
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        for (const auto& record : captureBrowsers().browsers) {
          if (record.browser == browser.kind) return record.status == CaptureStatus::notRunning;
        }
        return false;
      },
      10))
      << "the browser didn't end";
  // What is read from now on was written by the restored browser.
  std::filesystem::remove_all(desk.home / browser.sessionFolder);

  const auto plan =
      RestorePlanner::plan(recorded, RestoreSelection::everything(), CurrentWorkspace{});
  int windowSteps = 0;
  for (const auto& step : plan.steps)
    windowSteps += step.as<RestoreStep::OpenBrowserWindow>() != nullptr;
  ASSERT_EQ(windowSteps, 2);
  StartedGuard started;
  auto platform = LinuxRestorePlatform::forSession();
  platform.programs = std::make_unique<EndedPrograms>(started.pids);
  LinuxRestoreOptions options;
  options.windowWait = 20;
  LinuxRestoreExecutor executor(std::move(platform), std::move(options));
  const auto report = executor.executeNow(plan, {});
  for (const auto& result : report.results) {
    if (!result.step.as<RestoreStep::OpenBrowserWindow>()) continue;
    const auto* failed = result.outcome.as<RestoreStepOutcome::Failed>();
    EXPECT_FALSE(failed) << (failed ? failed->reason : "");
  }

  Tabs restored;
  const bool back = XSession::waitUntil(
      [&] {
        restored = urlsOf(captureBrowsers().browsers, browser.kind);
        return restored == expected;
      },
      25);
  EXPECT_TRUE(back) << "the new session holds " << show(restored);
}

TEST(BrowserRoundTrip, ChromiumWindowsComeBackWithTheirTabsInOrder) {
  // Root may only run it without its sandbox; nothing reaches the network.
  const Browser chromium{
      .kind = BrowserKind::chromium,
      .program = "chromium",
      .real = "/usr/bin/chromium",
      .package = "chromium",
      .flags = {"--no-sandbox", "--no-first-run", "--disable-background-networking",
                "--disable-component-update", "--disable-sync", "--disable-gpu",
                "--password-store=basic", "--user-data-dir=$HOME/.config/chromium"},
      .sessionFolder = ".config/chromium/Default/Sessions"};
  roundTrip(chromium, [&](XSession& x, Desk& desk) -> Result<pid_t> {
    const auto& pages = desk.pages;
    const pid_t pid = x.launch({"chromium", "--new-window", pages[0], pages[1]});
    if (pid <= 0 || !x.windowOf(pid, 20)) return fail("it showed no window within 20 s.");
    // A second start hands its window to the running browser and ends.
    x.launch({"chromium", "--new-window", pages[2], pages[3]});
    return pid;
  });
}

TEST(BrowserRoundTrip, FirefoxWindowsComeBackWithTheirTabsInOrder) {
  const Browser firefox{.kind = BrowserKind::firefox,
                        .program = "firefox",
                        .real = "/usr/bin/firefox-esr",
                        .package = "firefox-esr",
                        .flags = {"--profile", "$HOME/.mozilla/firefox/test.profile"},
                        .sessionFolder = ".mozilla/firefox/test.profile/sessionstore-backups"};
  roundTrip(firefox, [&](XSession& x, Desk& desk) -> Result<pid_t> {
    const auto firefoxDir = desk.home / ".mozilla/firefox";
    std::filesystem::create_directories(firefoxDir / "test.profile");
    std::ofstream(firefoxDir / "profiles.ini")
        << "[General]\nStartWithLastProfile=1\n\n[Profile0]\nName=test\nIsRelative=1\n"
           "Path=test.profile\nDefault=1\n";
    // A session written every second, no first-run pages, and no resuming of the session the
    // quit leaves: the restored windows must be the restore's alone.
    std::ofstream(firefoxDir / "test.profile/user.js")
        << "user_pref(\"browser.sessionstore.interval\", 1000);\n"
           "user_pref(\"browser.sessionstore.resume_from_crash\", false);\n"
           "user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
           "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
           "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
           "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
           "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
           "user_pref(\"app.update.enabled\", false);\n";
    const auto& pages = desk.pages;
    const pid_t pid = x.launch({"firefox", pages[0], pages[1]});
    if (pid <= 0 || !x.windowOf(pid, 30)) return fail("it showed no window within 30 s.");
    // A second start hands its window to the running browser and ends.
    if (x.run({"firefox", pages[2], pages[3]}) != 0)
      return fail("the second start didn't reach the running browser.");
    return pid;
  });
}

}  // namespace
}  // namespace brimwell
