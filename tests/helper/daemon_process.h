// The brimwell-helper executable started for one test, listening in a temporary directory with
// the test power tool; with helpers to connect, exchange lines and wait for the process to end.
// The daemon talks to the system bus this process is pointed at; when there is none and this
// process is not root (so its calls are authorised through polkit), it gets a private bus whose
// polkit allows everything.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/helper/fake_pmset.h"
#include "tests/support/private_bus.h"

namespace brimwell {

// A connected client socket to `path`; -1 when it cannot connect.
inline int connectTo(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  // A socket that is bound but not yet listening refuses briefly; retry for a moment.
  for (int attempt = 0;; ++attempt) {
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) break;
    if (errno != ECONNREFUSED || attempt == 40) {
      ::close(fd);
      return -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  timeval limit{5, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
  return fd;
}

// Sends `text` and reads up to the next newline; an empty text when the connection ended first.
inline std::string exchangeLine(int fd, const std::string& text) {
  if (!text.empty()) ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
  std::string line;
  char c;
  while (::read(fd, &c, 1) == 1) {
    if (c == '\n') return line;
    line += c;
  }
  return "";
}

class DaemonProcess {
 public:
  // Starts the daemon with `idleSeconds` and any further options; with `activated` >= 0 that
  // listening socket is handed over as a service manager would.
  explicit DaemonProcess(double idleSeconds, std::vector<std::string> extra = {},
                         int activated = -1) {
    if (::geteuid() != 0 && std::getenv("DBUS_SYSTEM_BUS_ADDRESS") == nullptr) {
      polkit_ = std::make_unique<testing::PrivateBus>();
      polkit_->startMock("polkitd", "org.freedesktop.PolicyKit1");
      polkit_->mockCall("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
                        "AllowUnknown", "b", 1);
    }
    std::vector<std::string> args = {BRIMWELL_HELPER_DAEMON_PATH,
                                     "--socket",
                                     socketPath(),
                                     "--record",
                                     recordPath(),
                                     "--pmset",
                                     pmset.path(),
                                     "--idle-seconds",
                                     std::to_string(idleSeconds)};
    args.insert(args.end(), extra.begin(), extra.end());
    // Everything the child needs is prepared before the fork; the child only fills in its pid.
    std::string listenPid = "LISTEN_PID=0000000000";
    std::string listenFds = "LISTEN_FDS=1";
    std::vector<char*> argv;
    for (auto& each : args) argv.push_back(each.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    if (activated >= 0) envp = {listenPid.data(), listenFds.data()};
    const char* bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    std::string systemBus = std::string("DBUS_SYSTEM_BUS_ADDRESS=") + (bus ? bus : "");
    if (bus != nullptr) envp.push_back(systemBus.data());
    envp.push_back(nullptr);
    started = std::chrono::steady_clock::now();
    pid = ::fork();
    if (pid == 0) {
      if (activated >= 0) {
        if (activated == 3) {
          ::fcntl(3, F_SETFD, 0);
        } else {
          ::dup2(activated, 3);
        }
        char* digit = listenPid.data() + listenPid.size();
        for (pid_t self = ::getpid(); self > 0; self /= 10)
          *--digit = static_cast<char>('0' + self % 10);
        while (digit > listenPid.data() + 11) *--digit = '0';
      }
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    if (activated < 0) waitForSocket();
  }
  ~DaemonProcess() {
    if (!status) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, 0);
    }
  }

  std::string socketPath() const { return pmset.directory() + "/helper.sock"; }
  std::string recordPath() const { return pmset.directory() + "/Brimwell/helper-state.json"; }

  // The exit status once the process has ended within `seconds`; absent while it runs.
  std::optional<int> waitExit(double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!status) {
      int raw = 0;
      if (::waitpid(pid, &raw, WNOHANG) == pid) {
        status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        ended = std::chrono::steady_clock::now();
      } else if (std::chrono::steady_clock::now() >= deadline) {
        break;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
    return status;
  }
  double secondsRun() const { return std::chrono::duration<double>(ended - started).count(); }

  std::unique_ptr<testing::PrivateBus> polkit_;  // first: the daemon must not outlive its bus
  FakePmset pmset;
  pid_t pid = -1;
  std::optional<int> status;
  std::chrono::steady_clock::time_point started, ended;

 private:
  void waitForSocket() {
    for (int i = 0; i < 400 && ::access(socketPath().c_str(), F_OK) != 0; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
};

}  // namespace brimwell
