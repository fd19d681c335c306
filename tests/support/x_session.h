// XSession: a private X server (Xvfb on a display it picks itself) with openbox managing it, for
// tests that need real X clients. It starts clients with the display set, finds their windows,
// and kills every process it started when it goes away. A missing Xvfb or openbox shows in
// `error()`; tests fail on it rather than skip.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
                    {}, fds[1]);
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
    // A display number just given up by another session may refuse the first client for a moment.
    for (int attempt = 0; attempt < 3; ++attempt) {
      manager_ = spawn({"openbox", "--sm-disable"}, {}, -1);
      if (manager_ > 0 && waitUntil([&] { return managerIsUp(); }, 4)) return;
      stop(manager_);
      manager_ = -1;
    }
    error_ = "openbox could not be started on " + display_ + " (is the openbox package installed?)";
  }
  ~XSession() {
    for (auto it = clients_.rbegin(); it != clients_.rend(); ++it) stop(*it);
    stop(manager_);
    stop(server_);
  }
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& display() const { return display_; }

  // Starts `argv` on this display in `directory` (empty: here), SHELL=/bin/sh; killed at the end.
  pid_t launch(const std::vector<std::string>& argv, const std::string& directory = {}) {
    const pid_t pid = spawn(argv, directory, -1);
    if (pid > 0) clients_.push_back(pid);
    return pid;
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
    const pid_t pid = spawn(argv, {}, -1);
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid) return -1;
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

  bool managerIsUp() {
    bool up = false;
    withEwmh([&](xcb_ewmh_connection_t& ewmh) {
      xcb_window_t check = 0;
      up = xcb_ewmh_get_supporting_wm_check_reply(
               &ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, ewmh.screens[0]->root), &check,
               nullptr) != 0;
    });
    return up;
  }

  pid_t spawn(const std::vector<std::string>& argv, const std::string& directory, int keepFd) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (std::strncmp(*entry, "DISPLAY=", 8) != 0 && std::strncmp(*entry, "SHELL=", 6) != 0) {
        environment.emplace_back(*entry);
      }
    }
    if (!display_.empty()) environment.push_back("DISPLAY=" + display_);
    environment.push_back("SHELL=/bin/sh");
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
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (!directory.empty()) posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    (void)keepFd;  // not close-on-exec, so the child inherits it
    pid_t pid = -1;
    if (::posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }

  static void stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
      if (::waitpid(pid, &status, WNOHANG) == pid) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
  }

  std::string error_;
  std::string display_;
  pid_t server_ = -1;
  pid_t manager_ = -1;
  std::vector<pid_t> clients_;
};

}  // namespace brimwell::testing
