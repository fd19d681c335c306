// XSession: a private X server (Xvfb on a display it picks itself) with openbox managing it, for
// tests that need real X clients. It starts clients with the display set, finds their windows,
// and ends every process it started when it goes away. Each process is held by a pidfd, so a
// signal never reaches another process that got a reused pid. A missing Xvfb or openbox shows in
// `error()` with what openbox said; tests fail on it rather than skip.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_processes.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace brimwell::testing {

class XSession {
 public:
  XSession() {
    int fds[2];
    if (::pipe(fds) != 0) {
      error_ = "pipe failed";
      return;
    }
    server_ = spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24",
                     "-nolisten", "tcp"},
                    {}, {});
    ::close(fds[1]);
    std::string number;
    char c;
    while (server_ > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (server_ <= 0 || number.empty()) {
      error_ = "Xvfb could not be started (is the xvfb package installed?)";
      return;
    }
    display_ = ":" + number;
    // openbox gets a home of its own: no configuration of the user's changes what tests see.
    const std::string log = (home_ / "openbox.log").string();
    for (int attempt = 0; attempt < 3; ++attempt) {
      const auto started = home_ / ("started." + std::to_string(attempt));
      manager_ = spawn({"openbox", "--sm-disable", "--startup", "touch " + started.string()}, {},
                       {"HOME=" + home_.path().string()}, log);
      if (manager_ > 0 && waitUntil([&] { return std::filesystem::exists(started); }, 10)) return;
      end(manager_);
    }
    std::ifstream said(log);
    std::string line, last;
    while (std::getline(said, line)) {
      if (!line.empty()) last = line;
    }
    error_ = "openbox could not be started on " + display_ + " (is the openbox package installed?)";
    if (!alive(server_)) error_ += "; the X server has ended";
    if (!last.empty()) error_ += "; openbox said: " + last;
  }
  ~XSession() = default;  // the clients end first, then openbox, then the server
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& display() const { return display_; }

  // Starts `argv` on this display in `directory` (empty: here), SHELL=/bin/sh; killed at the end.
  pid_t launch(const std::vector<std::string>& argv, const std::string& directory = {}) {
    return spawn(argv, directory, {});
  }

  // Ends a process this session started (SIGTERM, then SIGKILL after a second) and reaps it.
  void end(pid_t pid) { children_.end(pid); }

  // The managed window of process `pid`, once the window manager lists it.
  std::optional<xcb_window_t> windowOf(pid_t pid, double timeout = 10) {
    std::optional<xcb_window_t> found;
    waitUntil(
        [&] {
          withEwmh([&](xcb_ewmh_connection_t& ewmh) {
            xcb_ewmh_get_windows_reply_t list{};
            if (!xcb_ewmh_get_client_list_reply(&ewmh, xcb_ewmh_get_client_list(&ewmh, 0), &list,
                                                nullptr)) {
              return;
            }
            for (std::uint32_t i = 0; i < list.windows_len && !found; ++i) {
              std::uint32_t owner = 0;
              if (xcb_ewmh_get_wm_pid_reply(&ewmh, xcb_ewmh_get_wm_pid(&ewmh, list.windows[i]),
                                            &owner, nullptr) &&
                  owner == std::uint32_t(pid)) {
                found = list.windows[i];
              }
            }
            xcb_ewmh_get_windows_reply_wipe(&list);
          });
          return found.has_value();
        },
        timeout);
    return found;
  }

  // Runs `argv` on this display to its end; its exit status, or -1.
  int run(const std::vector<std::string>& argv) {
    const pid_t pid = spawn(argv, {}, {});
    return pid > 0 ? children_.wait(pid) : -1;
  }

  template <class Condition>
  static bool waitUntil(Condition condition, double seconds) {
    return testing::waitUntil(condition, seconds);
  }

 private:
  template <class Body>
  void withEwmh(Body body) {
    xcb_connection_t* c = xcb_connect(display_.c_str(), nullptr);
    if (!xcb_connection_has_error(c)) {
      xcb_ewmh_connection_t ewmh{};
      if (xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(c, &ewmh), nullptr)) {
        body(ewmh);
        xcb_ewmh_connection_wipe(&ewmh);
      }
    }
    xcb_disconnect(c);
  }

  bool alive(pid_t pid) const { return children_.alive(pid); }

  // Starts `argv` with the display, SHELL=/bin/sh, a UTF-8 locale (whatever the runner's, so
  // xterm's text is the same for every user) and `settings` (NAME=value) in its environment,
  // its output going to `log` (else nowhere); the pid, or -1.
  pid_t spawn(const std::vector<std::string>& argv, const std::string& directory,
              std::vector<std::string> settings, const std::string& log = "/dev/null") {
    settings.insert(settings.begin(), {"SHELL=/bin/sh", "LC_ALL=C.UTF-8"});
    if (!display_.empty()) settings.insert(settings.begin(), "DISPLAY=" + display_);
    return children_.spawn(argv, directory, settings, log);
  }

  TempDir home_;
  ChildProcesses children_;  // declared after home_: every process ends before its home goes
  std::string error_;
  std::string display_;
  pid_t server_ = -1;
  pid_t manager_ = -1;
};

}  // namespace brimwell::testing
