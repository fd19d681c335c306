// The capturer on a real X server with real clients: xterms under openbox, an xclip-owned
// clipboard, a private tmux server; and the brimwell tool on what it stored.
#include "linux/capture/linux_workspace_capturer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <asio/io_context.hpp>
#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <new>
#include <set>

#include "brimwell/core/engine/manual_clock.h"
#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "linux/capture/child_command.h"
#include "linux/capture/tmux_source.h"
#include "linux/capture/x11_clipboard_source.h"
#include "linux/capture/xcb_window_source.h"
#include "tests/cli/run_tool.h"
#include "tests/support/scoped_environment.h"
#include "tests/support/temp_dir.h"
#include "tests/support/x_session.h"

namespace brimwell {
namespace {

using testing::TempDir;
using testing::XSession;

class FixedMachine final : public SystemInfoProviding {
 public:
  std::string bootSessionUUID() override { return "boot-1"; }
  std::string hostModel() override { return "TestBook1,1"; }
};

LinuxCaptureSources sourcesFor(const std::string& display, const std::string& tmuxSocket) {
  LinuxCaptureSources sources;
  sources.windows = std::make_unique<XcbWindowSource>(display);
  sources.processes = std::make_unique<ProcProcessTable>();
  sources.desktopFiles = std::make_unique<FileDesktopCatalog>(
      std::vector<std::filesystem::path>{"/usr/share/applications"});
  sources.tmux = std::make_unique<TmuxCommandSource>(std::vector<std::string>{"-S", tmuxSocket});
  sources.clipboard = std::make_unique<X11ClipboardSource>(display);
  return sources;
}

const TerminalRecord* terminal(const Snapshot& snapshot, TerminalKind kind) {
  for (const auto& record : snapshot.terminals) {
    if (record.app == kind) return &record;
  }
  return nullptr;
}

TEST(X11Capture, DesktopOfXtermsTmuxAndClipboardRoundTripsThroughTheStore) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  TempDir dirs;
  std::filesystem::create_directories(dirs / "alpha");
  std::filesystem::create_directories(dirs / "beta");
  const auto alpha = std::filesystem::canonical(dirs / "alpha").string();
  const auto beta = std::filesystem::canonical(dirs / "beta").string();

  const pid_t first = x.launch({"xterm", "-geometry", "80x24+100+50", "-title", "first"}, alpha);
  const auto firstWindow = x.windowOf(first);
  ASSERT_TRUE(firstWindow) << "xterm (package xterm) showed no window";
  const pid_t second = x.launch({"xterm", "-geometry", "60x20+500+400", "-title", "second"}, beta);
  const auto secondWindow = x.windowOf(second);
  ASSERT_TRUE(secondWindow);
  // The second is minimised, the first made active.
  ASSERT_EQ(x.run({"xdotool", "windowminimize", "--sync", std::to_string(*secondWindow)}), 0)
      << "xdotool is needed";
  ASSERT_EQ(x.run({"xdotool", "windowactivate", "--sync", std::to_string(*firstWindow)}), 0);

  const auto tmuxSocket = (dirs / "tmux.sock").string();
  ASSERT_TRUE(runChild(
      {"tmux", "-S", tmuxSocket, "new-session", "-d", "-s", "work", "-n", "main", "-c", alpha}, 5));
  ASSERT_TRUE(runChild({"tmux", "-S", tmuxSocket, "split-window", "-t", "work", "-c", beta}, 5));
  { std::ofstream(dirs / "clip.txt") << "copied words"; }
  x.launch(
      {"sh", "-c", "exec xclip -quiet -selection clipboard -i " + (dirs / "clip.txt").string()});
  // Both xterms' shells have started once their working directories are theirs.
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        return X11ClipboardSource(x.display()).clipboard().value_or(ClipboardRecord{}).totalBytes >
               0;
      },
      5));

  asio::io_context context;
  ManualClock clock(context, std::chrono::system_clock::now());
  FixedMachine machine;
  LinuxWorkspaceCapturer capturer(sourcesFor(x.display(), tmuxSocket), clock, machine);
  const Snapshot snapshot = capturer.captureNow(CaptureTrigger::manual, std::nullopt, {}, true);
  ASSERT_TRUE(runChild({"tmux", "-S", tmuxSocket, "kill-server"}, 5));

  ASSERT_EQ(snapshot.apps.size(), 2u);
  const AppRecord& front = snapshot.apps[0];
  EXPECT_EQ(front.bundleID, "xterm");
  EXPECT_EQ(front.name, "XTerm");
  EXPECT_EQ(front.path, "/usr/bin/xterm");
  EXPECT_TRUE(front.wasFrontmost);
  EXPECT_FALSE(front.isHidden);
  ASSERT_EQ(front.windows.size(), 1u);
  EXPECT_EQ(front.windows[0].title, "first");
  ASSERT_TRUE(front.windows[0].frame);
  // The frame is the window manager's: its corner where the geometry asked, the title bar inside.
  EXPECT_EQ(front.windows[0].frame->x, 100);
  EXPECT_EQ(front.windows[0].frame->y, 50);
  EXPECT_FALSE(front.windows[0].isMinimized);
  const AppRecord& back = snapshot.apps[1];
  EXPECT_FALSE(back.wasFrontmost);
  EXPECT_TRUE(back.isHidden);
  ASSERT_EQ(back.windows.size(), 1u);
  EXPECT_TRUE(back.windows[0].isMinimized);
  EXPECT_EQ(back.order, 1);

  const auto* xterm = terminal(snapshot, TerminalKind::xterm);
  ASSERT_NE(xterm, nullptr);
  EXPECT_EQ(xterm->status, CaptureStatus::ok);
  ASSERT_EQ(xterm->windows.size(), 2u);
  ASSERT_EQ(xterm->windows[0].tabs.size(), 1u);
  EXPECT_EQ(xterm->windows[0].tabs[0].directory, alpha);
  EXPECT_EQ(xterm->windows[0].tabs[0].title, "first");
  EXPECT_EQ(xterm->windows[0].bounds, front.windows[0].frame);
  ASSERT_EQ(xterm->windows[1].tabs.size(), 1u);
  EXPECT_EQ(xterm->windows[1].tabs[0].directory, beta);
  EXPECT_EQ(terminal(snapshot, TerminalKind::gnomeTerminal)->status, CaptureStatus::notRunning);

  const auto* tmux = terminal(snapshot, TerminalKind::tmux);
  ASSERT_NE(tmux, nullptr);
  EXPECT_EQ(tmux->status, CaptureStatus::ok);
  ASSERT_EQ(tmux->windows.size(), 1u);
  ASSERT_EQ(tmux->windows[0].tabs.size(), 2u);
  EXPECT_EQ(tmux->windows[0].tabs[0].directory, alpha);
  EXPECT_EQ(tmux->windows[0].tabs[1].directory, beta);
  EXPECT_EQ(tmux->windows[0].tabs[0].title, "work:main");  // the session and the window's name

  ASSERT_TRUE(snapshot.clipboard);
  const std::string copied = "copied words";
  EXPECT_EQ(snapshot.clipboard->items,
            (std::vector<ClipboardRecord::Item>{
                {{"UTF8_STRING", ClipboardRecord::Bytes(copied.begin(), copied.end())}}}));

  // Stored, the snapshot reads back equal, and the tool shows what was open.
  TempDir support;
  ASSERT_TRUE(SnapshotStore(BrimwellPaths{support.path(), support / "rescued"}).save(snapshot));
  EXPECT_EQ(SnapshotStore(BrimwellPaths{support.path(), support / "rescued"}).load(snapshot.id),
            snapshot);
  const auto shown =
      testing::runTool({"snapshot", "show", snapshot.id, "--support", support.path().string()});
  EXPECT_EQ(shown.status, 0) << shown.err;
  for (const std::string& expected : std::vector<std::string>{
           std::string("\"bundleID\":\"xterm\""), "\"title\":\"first\"",
           "\"directory\":\"" + beta + "\"", std::string("\"app\":\"tmux\"")}) {
    EXPECT_NE(shown.out.find(expected), std::string::npos) << expected;
  }

  // Excluding xterm leaves out its applications and its terminal record; a stopped tmux server
  // reads as not running.
  const Snapshot without =
      capturer.captureNow(CaptureTrigger::manual, std::nullopt, {"xterm"}, false);
  EXPECT_TRUE(without.apps.empty());
  EXPECT_EQ(terminal(without, TerminalKind::xterm), nullptr);
  EXPECT_EQ(terminal(without, TerminalKind::tmux)->status, CaptureStatus::notRunning);
  EXPECT_FALSE(without.clipboard);
}

TEST(X11Capture, WithoutADisplayTheSessionsAppsComeFromProcWithoutWindows) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  const pid_t client = x.launch({"xterm", "-title", "lonely"});
  ASSERT_TRUE(x.windowOf(client));
  asio::io_context context;
  ManualClock clock(context, std::chrono::system_clock::now());
  FixedMachine machine;
  TempDir dirs;
  auto sources = sourcesFor(":9999", (dirs / "none.sock").string());
  LinuxWorkspaceCapturer capturer(std::move(sources), clock, machine);
  const Snapshot snapshot = capturer.captureNow(CaptureTrigger::watch, std::nullopt, {}, true);
  const auto xterm = std::find_if(snapshot.apps.begin(), snapshot.apps.end(),
                                  [](const AppRecord& app) { return app.bundleID == "xterm"; });
  ASSERT_NE(xterm, snapshot.apps.end());
  EXPECT_EQ(xterm->windowsStatus, CaptureStatus::unsupported);
  EXPECT_TRUE(xterm->windows.empty());
  EXPECT_EQ(terminal(snapshot, TerminalKind::xterm)->status, CaptureStatus::unsupported);
  EXPECT_FALSE(snapshot.clipboard);  // the clipboard can't be read either
}

// A process table that fails the first listing by throwing, as an allocation may.
class ThrowingOnceProcesses final : public ProcessTable {
 public:
  std::vector<ProcessEntry> processes() override {
    if (thrown_++ == 0) throw std::bad_alloc();
    return {};
  }
  std::optional<std::string> executable(int) override { return {}; }
  std::optional<std::string> environmentValue(int, std::string_view) override { return {}; }
  std::optional<std::string> workingDirectory(int) override { return {}; }
  std::vector<std::string> openFiles(int) override { return {}; }

 private:
  int thrown_ = 0;
};

TEST(LinuxWorkspaceCapturer, ACaptureThatThrowsGoesUnansweredAndTheNextIsServed) {
  asio::io_context context;
  ManualClock clock(context, std::chrono::system_clock::now());
  FixedMachine machine;
  LinuxCaptureSources sources;
  sources.processes = std::make_unique<ThrowingOnceProcesses>();
  sources.desktopFiles = std::make_unique<FileDesktopCatalog>(std::vector<std::filesystem::path>{});
  LinuxWorkspaceCapturer capturer(std::move(sources), clock, machine);
  std::mutex lock;
  std::condition_variable answered;
  std::vector<CaptureTrigger> answers;
  for (const auto trigger : {CaptureTrigger::watch, CaptureTrigger::manual}) {
    capturer.capture(trigger, std::nullopt, {}, false, [&](Snapshot snapshot) {
      std::lock_guard guard(lock);
      answers.push_back(snapshot.meta.trigger);
      answered.notify_all();
    });
  }
  std::unique_lock guard(lock);
  ASSERT_TRUE(answered.wait_for(guard, std::chrono::seconds(5), [&] { return !answers.empty(); }));
  EXPECT_EQ(answers, std::vector<CaptureTrigger>{CaptureTrigger::manual});
}

TEST(X11Clipboard, LargeContentsComeIncrementallyUnderTheCeilingAndASilentOwnerIsBounded) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  TempDir dirs;
  ClipboardRecord::Bytes large(3 << 20);
  for (std::size_t i = 0; i < large.size(); ++i) large[i] = std::uint8_t(i * 7 + i / 4096);
  {
    std::ofstream out(dirs / "large.bin", std::ios::binary);
    out.write(reinterpret_cast<const char*>(large.data()), std::streamsize(large.size()));
  }
  const pid_t owner = x.launch({"xclip", "-quiet", "-selection", "clipboard", "-t",
                                "application/x-test", "-i", (dirs / "large.bin").string()});
  ASSERT_GT(owner, 0) << "xclip is needed";
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        return x.run({"xclip", "-selection", "clipboard", "-o", "-t", "TARGETS"}) == 0;
      },
      5));

  const auto whole = X11ClipboardSource(x.display()).clipboard();
  ASSERT_TRUE(whole) << whole.error().message();
  ASSERT_EQ(whole->items.size(), 1u);
  EXPECT_EQ(whole->items[0].size(), 1u);  // TARGETS is not data
  EXPECT_TRUE(whole->items[0].at("application/x-test") == large);
  EXPECT_EQ(whole->totalBytes, std::int64_t(large.size()));

  // Over the ceiling, the representation is left out whole.
  const auto capped = X11ClipboardSource(x.display(), 2, 1 << 20).clipboard();
  ASSERT_TRUE(capped);
  EXPECT_TRUE(capped->items.empty());
  EXPECT_EQ(capped->totalBytes, 0);

  // An owner that never answers: the read gives up with a sentence.
  xcb_connection_t* silent = xcb_connect(x.display().c_str(), nullptr);
  ASSERT_FALSE(xcb_connection_has_error(silent));
  const xcb_window_t window = xcb_generate_id(silent);
  const auto* screen = xcb_setup_roots_iterator(xcb_get_setup(silent)).data;
  xcb_create_window(silent, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
  auto* atom = xcb_intern_atom_reply(silent, xcb_intern_atom(silent, 0, 9, "CLIPBOARD"), nullptr);
  ASSERT_NE(atom, nullptr);
  xcb_set_selection_owner(silent, window, atom->atom, XCB_CURRENT_TIME);
  std::free(atom);
  free(xcb_get_input_focus_reply(silent, xcb_get_input_focus(silent), nullptr));
  const auto unanswered = X11ClipboardSource(x.display(), 0.3).clipboard();
  EXPECT_FALSE(unanswered);
  xcb_disconnect(silent);
}

// A session that runs outside a UTF-8 locale (a plain POSIX one, as a minimal service manager
// gives) still reads its tmux panes: tabs and bytes beyond ASCII come through as they are.
TEST(TmuxSource, ReadsPanesWhateverTheLocale) {
  TempDir dirs;
  const auto cafe = dirs / "caf\xC3\xA9";
  std::filesystem::create_directories(cafe);
  const auto where = std::filesystem::canonical(cafe).string();
  const auto socket = (dirs / "tmux.sock").string();
  testing::ScopedEnvironment environment;
  environment.set("LC_ALL", "POSIX");
  environment.set("LANG", "POSIX");
  ASSERT_TRUE(runChild({"tmux", "-S", socket, "new-session", "-d", "-s", "notes", "-n",
                        "r\xC3\xA9sum\xC3\xA9", "-c", where},
                       5));
  // The pane's shell moves into its directory a moment after the session exists.
  TerminalRecord record;
  XSession::waitUntil(
      [&] {
        record = TmuxCommandSource({"-S", socket}, 10).tmux();
        return record.windows.size() == 1 && !record.windows[0].tabs.empty() &&
               record.windows[0].tabs[0].directory == where;
      },
      5);
  (void)runChild({"tmux", "-S", socket, "kill-server"}, 5);
  EXPECT_EQ(record.status, CaptureStatus::ok);
  ASSERT_EQ(record.windows.size(), 1u);
  EXPECT_EQ(record.windows[0].tabs,
            (std::vector<TerminalTabRecord>{{where, "notes:r\xC3\xA9sum\xC3\xA9"}}));
}

TEST(X11Clipboard, AnOwnerOfSeveralTargetsIsRecordedInEachThatHoldsWhatWasCopied) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  // xterm takes the clipboard through its selection escape and offers the text in four encodings,
  // besides targets that tell about itself (its host, user, window).
  const std::string text = "two targets \xC3\xA9";
  x.launch({"xterm", "-xrm", "XTerm*disallowedWindowOps: 20,21,SetXprop", "-e", "sh", "-c",
            "printf '\\033]52;c;%s\\007' \"$(printf '%s' \"$0\" | base64)\"; exec sleep 600",
            text});
  Result<ClipboardRecord> record = fail("not read yet");
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        record = X11ClipboardSource(x.display()).clipboard();
        return record && !record->items.empty();
      },
      10))
      << "xterm never took the clipboard";
  ASSERT_EQ(record->items.size(), 1u);
  const auto& item = record->items[0];
  std::set<std::string> targets;
  for (const auto& [target, bytes] : item) targets.insert(target);
  EXPECT_EQ(targets, (std::set<std::string>{"COMPOUND_TEXT", "STRING", "TEXT", "UTF8_STRING"}));
  EXPECT_TRUE(item.at("UTF8_STRING") == ClipboardRecord::Bytes(text.begin(), text.end()));
  const std::string latin1 = "two targets \xE9";
  EXPECT_TRUE(item.at("STRING") == ClipboardRecord::Bytes(latin1.begin(), latin1.end()));
  std::int64_t total = 0;
  for (const auto& [target, bytes] : item) total += std::int64_t(bytes.size());
  EXPECT_EQ(record->totalBytes, total);
}

TEST(X11Capture, AFullScreenWindowAndTheOpenFileATitleNamesAreRecorded) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  TempDir dirs;
  // xterm keeps its log file open; its title names the file.
  const auto log = (std::filesystem::canonical(dirs.path()) / "field notes.log").string();
  const pid_t logging = x.launch({"xterm", "-l", "-lf", log, "-title", "field notes.log - xterm"});
  const pid_t wide = x.launch({"xterm", "-fullscreen", "-title", "wide"});
  ASSERT_TRUE(x.windowOf(logging) && x.windowOf(wide));

  asio::io_context context;
  ManualClock clock(context, std::chrono::system_clock::now());
  FixedMachine machine;
  LinuxWorkspaceCapturer capturer(sourcesFor(x.display(), (dirs / "no-tmux").string()), clock,
                                  machine);
  const auto windowTitled = [](const Snapshot& snapshot, const std::string& title) {
    for (const auto& app : snapshot.apps) {
      for (const auto& window : app.windows) {
        if (window.title == title) return std::optional<WindowRecord>(window);
      }
    }
    return std::optional<WindowRecord>();
  };
  Snapshot snapshot;
  ASSERT_TRUE(XSession::waitUntil(
      [&] {
        snapshot = capturer.captureNow(CaptureTrigger::manual, std::nullopt, {}, false);
        const auto full = windowTitled(snapshot, "wide");
        const auto logged = windowTitled(snapshot, "field notes.log - xterm");
        return full && full->isFullScreen && logged && logged->documentURL;
      },
      10))
      << "the full-screen state or the log file was never seen";
  const auto full = windowTitled(snapshot, "wide");
  EXPECT_EQ(full->frame, (Rect{0, 0, 1280, 1024}));  // the whole screen, without decorations
  EXPECT_FALSE(full->isMinimized);
  const auto logged = windowTitled(snapshot, "field notes.log - xterm");
  EXPECT_FALSE(logged->isFullScreen);
  EXPECT_EQ(logged->documentURL,
            "file://" + std::filesystem::canonical(dirs.path()).string() + "/field%20notes.log");
  ASSERT_TRUE(logged->fileURL());
}

TEST(CaptureCommand, TakesOneManualSnapshotOfThisDesktopAndPrintsItsSummary) {
  XSession x;
  ASSERT_TRUE(x.ready()) << x.error();
  TempDir dirs;
  std::filesystem::create_directories(dirs / "home");
  std::filesystem::create_directories(dirs / "tmux");
  testing::ScopedEnvironment environment;
  environment.set("DISPLAY", x.display());
  environment.set("HOME", (dirs / "home").string());  // no browser profiles of the user's
  environment.set("TMUX_TMPDIR", (dirs / "tmux").string());
  const pid_t only = x.launch({"xterm", "-title", "only"});
  ASSERT_TRUE(x.windowOf(only));
  std::filesystem::create_directories(dirs / "support");
  const std::string support = (dirs / "support").string();

  const auto taken = testing::runTool({"capture", "--support", support});
  ASSERT_EQ(taken.status, 0) << taken.err;
  // "ID  DATE  manual    apps 1  tabs T  documents 0  rescued 0", one line.
  const auto words = testing::lines(taken.out);
  ASSERT_EQ(words.size(), 1u) << taken.out;
  const std::string id = words[0].substr(0, words[0].find(' '));
  EXPECT_TRUE(SnapshotID::isValid(id)) << taken.out;
  EXPECT_NE(words[0].find("  manual    apps 1  tabs "), std::string::npos) << taken.out;
  EXPECT_NE(words[0].find("  documents 0  rescued 0"), std::string::npos) << taken.out;

  const auto shown = testing::runTool({"snapshot", "show", id, "--support", support});
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("\"title\":\"only\""), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("\"trigger\":\"manual\""), std::string::npos) << shown.out;

  // Leaving xterm out leaves no application; a support directory that is a file is refused.
  const auto without = testing::runTool({"capture", "--support", support, "--exclude", "xterm"});
  ASSERT_EQ(without.status, 0) << without.err;
  EXPECT_NE(without.out.find("  apps 0  "), std::string::npos) << without.out;
  { std::ofstream(dirs / "plain") << "x"; }
  const auto refused = testing::runTool({"capture", "--support", (dirs / "plain").string()});
  EXPECT_NE(refused.status, 0);
  EXPECT_EQ(testing::lines(refused.err).size(), 1u) << refused.err;
  EXPECT_EQ(std::filesystem::file_size(dirs / "plain"), 1u);
}

}  // namespace
}  // namespace brimwell
