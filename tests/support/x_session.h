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
  ~XSession() {
    for (auto it = clients_.rbegin(); it != clients_.rend(); ++it) end(*it);
    end(manager_);
    end(server_);
  }
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& display() const { return display_; }

  // Starts `argv` on this display in `directory` (empty: here), SHELL=/bin/sh; killed at the end.
  pid_t launch(const std::vector<std::string>& argv, const std::string& directory = {}) {
    const pid_t pid = spawn(argv, directory, {});
    if (pid > 0) clients_.push_back(pid);
    return pid;
  }

  // Ends a process this session started (SIGTERM, then SIGKILL after a second) and reaps it.
  void end(pid_t pid) {
    const auto held = pidfds_.find(pid);
    if (held == pidfds_.end()) return;
    const int pidfd = held->second;
    pidfds_.erase(held);
    // Until it is reaped the pid is this process's own, so without a pidfd kill() is still safe.
    const auto send = [&](int signal) {
      if (pidfd < 0) return void(::kill(pid, signal));
      ::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0);
    };
    send(SIGTERM);
    pollfd exited{.fd = pidfd, .events = POLLIN};
    if (pidfd < 0 || ::poll(&exited, 1, 1000) != 1) send(SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (pidfd >= 0) ::close(pidfd);
  }

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
    if (pid <= 0) return -1;
    if (pidfds_[pid] >= 0) ::close(pidfds_[pid]);
    pidfds_.erase(pid);
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  template <class Condition>
  static bool waitUntil(Condition condition, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
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

  bool alive(pid_t pid) const {
    const auto held = pidfds_.find(pid);
    if (held == pidfds_.end()) return false;
    pollfd exited{.fd = held->second, .events = POLLIN};
    return ::poll(&exited, 1, 0) == 0;
  }

  // Starts `argv` with the display, SHELL=/bin/sh, a UTF-8 locale (whatever the runner's, so
  // xterm's text is the same for every user) and `settings` (NAME=value) in its environment,
  // its output going to `log` (else nowhere); the pid, held by a pidfd, or -1.
  pid_t spawn(const std::vector<std::string>& argv, const std::string& directory,
              const std::vector<std::string>& settings, const std::string& log = "/dev/null") {
    std::vector<std::string> environment;
    const auto overridden = [&](const char* entry) {
      if (std::strncmp(entry, "DISPLAY=", 8) == 0 || std::strncmp(entry, "SHELL=", 6) == 0 ||
          std::strncmp(entry, "LC_ALL=", 7) == 0) {
        return true;
      }
      for (const auto& setting : settings) {
        if (std::strncmp(entry, setting.c_str(), setting.find('=') + 1) == 0) return true;
      }
      return false;
    };
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!overridden(*entry)) environment.emplace_back(*entry);
    }
    if (!display_.empty()) environment.push_back("DISPLAY=" + display_);
    environment.push_back("SHELL=/bin/sh");
    environment.push_back("LC_ALL=C.UTF-8");
    environment.insert(environment.end(), settings.begin(), settings.end());
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = argv;
    std::vector<char*> argp;
    for (auto& arg : args) argp.push_back(arg.data());
    argp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    // Xvfb's display pipe is not close-on-exec, so the child inherits it.
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    if (pid > 0) pidfds_[pid] = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    return pid;
  }

  TempDir home_;
  std::map<pid_t, int> pidfds_;  // every process started and not yet reaped
  std::string error_;
  std::string display_;
  pid_t server_ = -1;
  pid_t manager_ = -1;
  std::vector<pid_t> clients_;
};

}  // namespace brimwell::testing
