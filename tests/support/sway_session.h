// SwaySession: a private sway compositor, headless (WLR_BACKENDS=headless, the pixman renderer,
// no input devices) in a runtime directory of its own, with XWayland, for tests that need real
// Wayland clients. sway refuses to run as root, so under root it runs as nobody in a runtime
// directory nobody owns; root's clients reach its sockets all the same. Clients start with
// WAYLAND_DISPLAY, SWAYSOCK and XDG_RUNTIME_DIR set, and every process ends with the session.
// A missing sway shows in `error()` with the last line sway wrote; tests fail on it.
#pragma once

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_processes.h"
#include "tests/support/temp_dir.h"

namespace brimwell::testing {

class SwaySession {
 public:
  // `config`: lines added to sway's configuration.
  explicit SwaySession(const std::string& config = {}) {
    namespace fs = std::filesystem;
    runtime_ = home_ / "runtime";
    fs::create_directory(runtime_);
    fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace);
    const fs::path configFile = home_ / "config";
    std::ofstream(configFile) << "xwayland enable\n" << config << '\n';
    fs::permissions(home_.path(),
                    fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec,
                    fs::perm_options::replace);
    fs::permissions(configFile,
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read |
                        fs::perms::group_read,
                    fs::perm_options::replace);
    std::vector<std::string> argv = {"sway", "-c", configFile.string()};
    if (::geteuid() == 0) {
      const passwd* nobody = ::getpwnam("nobody");
      if (nobody == nullptr || ::chown(runtime_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) {
        error_ = "the runtime directory can't be given to nobody";
        return;
      }
      argv.insert(argv.begin(), {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"});
    }
    const std::string log = (home_ / "sway.log").string();
    sway_ = children_.spawn(
        argv, {},
        {"XDG_RUNTIME_DIR=" + runtime_.string(), "HOME=" + home_.path().string(),
         "WLR_BACKENDS=headless", "WLR_RENDERER=pixman", "WLR_LIBINPUT_NO_DEVICES=1",
         "WAYLAND_DISPLAY", "DISPLAY", "SWAYSOCK", "I3SOCK"},
        log);
    if (sway_ > 0 && waitUntil([&] { return findSockets(); }, 10)) return;
    std::ifstream said(log);
    std::string line, last;
    while (std::getline(said, line)) {
      if (!line.empty()) last = line;
    }
    error_ = "sway could not be started headless (is the sway package installed?)";
    if (!last.empty()) error_ += "; sway said: " + last;
  }
  SwaySession(const SwaySession&) = delete;
  SwaySession& operator=(const SwaySession&) = delete;

  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& waylandDisplay() const { return waylandDisplay_; }
  const std::string& swaySocket() const { return swaySocket_; }
  std::string runtimeDirectory() const { return runtime_.string(); }

  // What a client of this session has in its environment, as NAME=value.
  std::vector<std::string> environment() const {
    return {"WAYLAND_DISPLAY=" + waylandDisplay_,
            "SWAYSOCK=" + swaySocket_,
            "XDG_RUNTIME_DIR=" + runtime_.string(),
            "XDG_SESSION_TYPE=wayland",
            "DISPLAY",
            "LC_ALL=C.UTF-8",
            "SHELL=/bin/sh"};
  }

  // Starts `argv` as a client of this session in `directory` (empty: here); ended at the end.
  pid_t launch(const std::vector<std::string>& argv, const std::string& directory = {},
               std::vector<std::string> settings = {}) {
    auto all = environment();
    all.insert(all.end(), settings.begin(), settings.end());
    return children_.spawn(argv, directory, all);
  }
  void end(pid_t pid) { children_.end(pid); }

  template <class Condition>
  static bool waitUntil(Condition condition, double seconds) {
    return testing::waitUntil(condition, seconds);
  }

 private:
  bool findSockets() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(runtime_, error)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind("sway-ipc.", 0) == 0) swaySocket_ = entry.path().string();
      if (name.rfind("wayland-", 0) == 0 && name.find('.') == std::string::npos) {
        waylandDisplay_ = entry.path().string();
      }
    }
    return !swaySocket_.empty() && !waylandDisplay_.empty();
  }

  TempDir home_;
  ChildProcesses children_;  // declared after home_: every process ends before its home goes
  std::filesystem::path runtime_;
  std::string error_;
  std::string waylandDisplay_;
  std::string swaySocket_;
  pid_t sway_ = -1;
};

}  // namespace brimwell::testing
