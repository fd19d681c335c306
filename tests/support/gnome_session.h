// GnomeSession: a private GNOME Shell, headless (--headless --wayland --no-x11 with one virtual
// monitor), with Brimwell's Shell extension from the source tree installed and (unless told
// otherwise) enabled, for tests that need the real Shell. It runs in a throw-away HOME whose
// settings are a GLib key file (so enabling the extension needs no settings daemon) on a private
// bus that stands for both the session and the system bus, with a logind mock the Shell asks for at
// start. The Shell runs as root as well as as an ordinary user. Clients start with WAYLAND_DISPLAY
// and XDG_RUNTIME_DIR set, and every process ends with the session. A Shell that doesn't start, or
// an extension that doesn't come up, shows in `error()` with the Shell's last words; tests fail on
// it.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "linux/capture/gnome_shell.h"
#include "linux/gnome_extension.h"
#include "tests/support/child_processes.h"
#include "tests/support/private_bus.h"
#include "tests/support/temp_dir.h"

namespace brimwell::testing {

class GnomeSession {
 public:
  struct Options {
    bool extensionOn = true;
    // XWayland beside the Wayland display, as a desktop session has it; its DISPLAY is then in
    // environment().
    bool xwayland = false;
    // When given, adds to the user's extension directory before the Shell starts.
    std::function<void(const std::filesystem::path&)> install;
  };

  GnomeSession() : GnomeSession(Options{}) {}
  explicit GnomeSession(const Options& options) {
    const bool extensionOn = options.extensionOn;
    namespace fs = std::filesystem;
    runtime_ = home_ / "runtime";
    fs::create_directory(runtime_);
    fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace);
    const fs::path extensions = home_ / ".local/share/gnome-shell/extensions";
    fs::create_directories(extensions);
    fs::copy(BRIMWELL_GNOME_EXTENSION_DIR, extensions / "brimwell@tallowgate.com",
             fs::copy_options::recursive);
    if (options.install) options.install(extensions);
    fs::create_directories(home_ / ".config/glib-2.0/settings");
    std::ofstream(home_ / ".config/glib-2.0/settings/keyfile")
        << "[org/gnome/shell]\nenabled-extensions="
        << (extensionOn ? "['brimwell@tallowgate.com']" : "@as []") << "\n"
        << "[org/gnome/desktop/interface]\nenable-animations=false\n";
    bus_.startMock("logind", "org.freedesktop.login1");
    const std::string log = (home_ / "gnome-shell.log").string();
    std::vector<std::string> argv = {
        "gnome-shell", "--headless",        "--wayland", "--virtual-monitor",
        "1280x800",    "--wayland-display", kDisplay};
    if (!options.xwayland) argv.push_back("--no-x11");
    shell_ = children_.spawn(argv, {},
                             {"XDG_RUNTIME_DIR=" + runtime_.string(),
                              "HOME=" + home_.path().string(), "GSETTINGS_BACKEND=keyfile",
                              "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CURRENT_DESKTOP=GNOME",
                              "GTK_A11Y=none", "NO_AT_BRIDGE=1", "WAYLAND_DISPLAY", "DISPLAY"},
                             log);
    const auto up = [extensionOn] {
      if (extensionOn) return GnomeShell().windows().has_value();
      DeadlineBus session(DeadlineBus::Kind::session, std::chrono::seconds(1));
      return readShellExtension(session, kBrimwellExtensionUUID).has_value();
    };
    if (shell_ > 0 && waitUntil(up, 15) &&
        (!options.xwayland || waitUntil([this] { return findXwayland(); }, 10))) {
      return;
    }
    std::ifstream said(log);
    // What the Shell said of the extension tells most, else its last error.
    std::string line, last, ours;
    while (std::getline(said, line)) {
      if (line.find("JS ERROR") != std::string::npos || last.empty()) last = line;
      if (ours.empty() && line.find(kBrimwellExtensionUUID) != std::string::npos) ours = line;
    }
    if (!ours.empty()) last = ours;
    error_ =
        "GNOME Shell could not be started headless with Brimwell's extension (is the "
        "gnome-shell package installed?)";
    if (!last.empty()) error_ += "; it said: " + last;
  }
  GnomeSession(const GnomeSession&) = delete;
  GnomeSession& operator=(const GnomeSession&) = delete;

  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }

  // What a client of this session has in its environment, as NAME=value.
  std::vector<std::string> environment() const {
    return {"WAYLAND_DISPLAY=" + std::string(kDisplay),
            "XDG_RUNTIME_DIR=" + runtime_.string(),
            "XDG_SESSION_TYPE=wayland",
            "XDG_CURRENT_DESKTOP=GNOME",
            "SWAYSOCK",
            display_.empty() ? "DISPLAY" : "DISPLAY=" + display_,
            authority_.empty() ? "XAUTHORITY" : "XAUTHORITY=" + authority_,
            "LC_ALL=C.UTF-8",
            "SHELL=/bin/sh"};
  }

  // Starts `argv` as a client of this session in `directory` (empty: here); ended at the end.
  pid_t launch(const std::vector<std::string>& argv, const std::string& directory = {}) {
    return children_.spawn(argv, directory, environment());
  }
  void end(pid_t pid) { children_.end(pid); }

  template <class Condition>
  static bool waitUntil(Condition condition, double seconds) {
    return testing::waitUntil(std::move(condition), seconds, std::chrono::milliseconds(50));
  }

 private:
  // The display of the XWayland the Shell started and the file of its key: the ":N" and the
  // "-auth FILE" on its command line.
  bool findXwayland() {
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      std::ifstream stat(entry.path() / "stat");
      std::string pid, comm, state;
      pid_t parent = 0;
      if (!(stat >> pid >> comm >> state >> parent) || parent != shell_) continue;
      std::ifstream cmdline(entry.path() / "cmdline");
      std::string argument, previous;
      while (std::getline(cmdline, argument, '\0')) {
        if (argument.size() > 1 && argument[0] == ':') display_ = argument;
        if (previous == "-auth") authority_ = argument;
        previous = argument;
      }
      if (!display_.empty()) return true;
    }
    return false;
  }

  static constexpr const char* kDisplay = "brimwell-gnome-0";

  TempDir home_;
  PrivateBus bus_;           // the Shell and the tests' calls meet here
  ChildProcesses children_;  // declared after home_ and bus_: every process ends before they go
  std::filesystem::path runtime_;
  pid_t shell_ = -1;
  std::string display_;    // XWayland's, when it runs
  std::string authority_;  // and the key its clients show
  std::string error_;
};

}  // namespace brimwell::testing
