// A private D-Bus for one test: a real dbus-daemon listening in a temporary directory, and real
// mock services (python3-dbusmock templates) on it. While a PrivateBus lives it stands for both the
// system and the session bus of this process and of every program the test starts. A missing
// dbus-daemon or python3-dbusmock fails the test loudly; it is never skipped.
#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace brimwell::testing {

class PrivateBus {
 public:
  PrivateBus() {
    const std::string socket = (dir_ / "bus").string();
    address_ = "unix:path=" + socket;
    const auto config = dir_ / "bus.conf";
    // Any user may connect, own names and talk to anyone: the tests' peers run as root and as
    // unprivileged users alike.
    std::ofstream(config) << "<busconfig><type>system</type><listen>" << address_
                          << "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                          << "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                          << "<allow receive_sender=\"*\"/></policy></busconfig>\n";
    daemon_ = spawn({"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + config.string()});
    // The socket's file appears when the daemon binds it, a moment before it listens: the bus is
    // up once a connection is taken.
    if (!waitFor([&] { return accepts(socket); })) {
      throw std::runtime_error("dbus-daemon did not start; install the dbus package.");
    }
    for (const char* name : {"DBUS_SYSTEM_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS"}) {
      const char* previous = std::getenv(name);
      saved_.push_back({name, previous ? std::optional<std::string>(previous) : std::nullopt});
      ::setenv(name, address_.c_str(), 1);
    }
  }

  ~PrivateBus() {
    for (auto it = children_.rbegin(); it != children_.rend(); ++it) stop(*it);
    stop(daemon_);
    for (const auto& [name, value] : saved_) {
      value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  const std::string& address() const { return address_; }

  // Stops the bus daemon where it stands (it still accepts connections, and answers nothing),
  // or lets it go on.
  void freeze() const { ::kill(daemon_, SIGSTOP); }
  void thaw() const { ::kill(daemon_, SIGCONT); }

  // Starts the dbusmock `templateName` with JSON `parameters` and returns once it owns
  // `busName`. Its method calls are logged to `log` when given, else nowhere.
  void startMock(const std::string& templateName, const std::string& busName,
                 const std::string& parameters = "{}", const std::string& log = {}) {
    std::vector<std::string> args = {"/usr/bin/python3", "-m", "dbusmock", "--template",
                                     templateName,       "-p", parameters};
    // Without a log of its own a mock prints every call on the test's output.
    args.insert(args.end(), {"-l", log.empty() ? std::string("/dev/null") : log});
    children_.push_back(spawn(args));
    if (!waitFor([&] { return hasOwner(busName); })) {
      throw std::runtime_error("The " + templateName +
                               " mock did not appear on the bus; install python3-dbusmock.");
    }
  }

  // A fresh connection to the bus; the caller unrefs it.
  sd_bus* connect() const {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, address_.c_str()) < 0 ||
        sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
      sd_bus_unref(bus);
      throw std::runtime_error("Cannot connect to the private bus at " + address_ + ".");
    }
    return bus;
  }

  // Calls the mock control method `method` (org.freedesktop.DBus.Mock) on `busName`'s `path`
  // with one argument of D-Bus type `signature`; throws with the bus's sentence on failure.
  template <class... Args>
  void mockCall(const std::string& busName, const std::string& path, const std::string& method,
                const char* signature, Args... args) const {
    sd_bus* bus = connect();
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int result = sd_bus_call_method(bus, busName.c_str(), path.c_str(), "org.freedesktop.DBus.Mock",
                                    method.c_str(), &error, &reply, signature, args...);
    std::string sentence = error.message ? error.message : "";
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    if (result < 0) throw std::runtime_error(method + " failed on the mock: " + sentence);
  }

 private:
  static bool accepts(const std::string& socket) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{.sun_family = AF_UNIX, .sun_path = {}};
    socket.copy(address.sun_path, sizeof address.sun_path - 1);
    const bool taken = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return taken;
  }

  static bool waitFor(const auto& condition) {
    for (int attempt = 0; attempt < 400; ++attempt) {
      if (condition()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return false;
  }

  bool hasOwner(const std::string& name) const {
    sd_bus* bus = nullptr;
    if (sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, address_.c_str()) < 0 ||
        sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0) {
      sd_bus_unref(bus);
      return false;
    }
    sd_bus_message* reply = nullptr;
    int owned = 0;
    bool ok = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                 name.c_str()) >= 0 &&
              sd_bus_message_read(reply, "b", &owned) >= 0;
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return ok && owned != 0;
  }

  pid_t spawn(const std::vector<std::string>& args) const {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      std::string_view each(*entry);
      if (!each.starts_with("DBUS_SYSTEM_BUS_ADDRESS=") &&
          !each.starts_with("DBUS_SESSION_BUS_ADDRESS=")) {
        env.emplace_back(each);
      }
    }
    env.push_back("DBUS_SYSTEM_BUS_ADDRESS=" + address_);
    env.push_back("DBUS_SESSION_BUS_ADDRESS=" + address_);
    std::vector<char*> argv, envp;
    for (const auto& each : args) argv.push_back(const_cast<char*>(each.c_str()));
    for (const auto& each : env) envp.push_back(const_cast<char*>(each.c_str()));
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()) != 0) {
      throw std::runtime_error(args[0] + " cannot be started; run scripts/deps.sh.");
    }
    return pid;
  }

  static void stop(pid_t pid) {
    ::kill(pid, SIGTERM);
    ::kill(pid, SIGCONT);  // a frozen one ends too
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }

  TempDir dir_;
  std::string address_;
  pid_t daemon_ = -1;
  std::vector<pid_t> children_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace brimwell::testing
