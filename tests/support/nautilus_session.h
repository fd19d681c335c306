// NautilusSession: a private session bus on which the bus itself starts Nautilus for
// org.freedesktop.FileManager1 (a service file of the test's own, as a desktop's session bus has
// one), on a given X display, with a home, configuration, caches and settings (in memory) of its
// own, so nothing of the machine's user is read or changed. Nautilus runs as root and as an
// ordinary user alike. It reads the open windows as Nautilus lists them, and quits Nautilus;
// the bus, and Nautilus with it, end with the session. A missing dbus-daemon shows in `error()`.
#pragma once

#include <systemd/sd-bus.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "tests/support/child_processes.h"
#include "tests/support/temp_dir.h"

namespace brimwell::testing {

class NautilusSession {
 public:
  explicit NautilusSession(const std::string& display) {
    namespace fs = std::filesystem;
    for (const char* dir : {"home", "runtime", "services", "config", "data", "cache"}) {
      fs::create_directories(dir_ / dir);
    }
    fs::permissions(dir_ / "runtime", fs::perms::owner_all, fs::perm_options::replace);
    const std::string socket = (dir_ / "bus").string();
    address_ = "unix:path=" + socket;
    std::ofstream(dir_ / "services" / "org.freedesktop.FileManager1.service")
        << "[D-BUS Service]\nName=org.freedesktop.FileManager1\n"
        << "Exec=/usr/bin/nautilus --gapplication-service\n";
    std::ofstream(dir_ / "bus.conf")
        << "<busconfig><type>session</type><listen>" << address_ << "</listen>"
        << "<servicedir>" << (dir_ / "services").string() << "</servicedir>"
        << "<auth>EXTERNAL</auth><policy context=\"default\"><allow user=\"*\"/>"
        << "<allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/>"
        << "</policy></busconfig>\n";
    settings_ = {
        "DISPLAY=" + display,
        "DBUS_SESSION_BUS_ADDRESS=" + address_,
        "HOME=" + (dir_ / "home").string(),
        "XDG_RUNTIME_DIR=" + (dir_ / "runtime").string(),
        "XDG_CONFIG_HOME=" + (dir_ / "config").string(),
        "XDG_DATA_HOME=" + (dir_ / "data").string(),
        "XDG_CACHE_HOME=" + (dir_ / "cache").string(),
        "GSETTINGS_BACKEND=memory",  // no dconf of the user's
        "NO_AT_BRIDGE=1",
        "GTK_A11Y=none",  // no accessibility bus to look for
        // GTK's GL renderer on a server without GL is slow enough to leave windows "Loading…".
        "GSK_RENDERER=cairo",
        "WAYLAND_DISPLAY",
        "LC_ALL=C.UTF-8",
    };
    // Programs the bus starts get the bus daemon's environment.
    daemon_ = children_.spawn(
        {"dbus-daemon", "--nofork", "--nopidfile", "--config-file=" + (dir_ / "bus.conf").string()},
        {}, settings_, (dir_ / "bus.log").string());
    if (daemon_ <= 0 || !waitUntil([&] { return fs::exists(socket); }, 10)) {
      error_ = "dbus-daemon could not be started (is the dbus package installed?)";
    }
  }
  ~NautilusSession() {
    if (ready()) quit();
  }
  NautilusSession(const NautilusSession&) = delete;
  NautilusSession& operator=(const NautilusSession&) = delete;

  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& address() const { return address_; }
  std::filesystem::path home() const { return dir_ / "home"; }
  // What a client of this session has in its environment: NAME=value, or NAME to clear.
  const std::vector<std::string>& environment() const { return settings_; }

  // Has Nautilus open a window showing `folder`: started as a client of this session when it
  // isn't running (it then stays, as the instance later calls go to), else handed the folder.
  void show(const std::string& folder) {
    if (!running()) {
      children_.spawn({"nautilus", "--new-window", folder}, {}, settings_,
                      (dir_ / "nautilus.log").string());
    } else {
      run({"nautilus", "--new-window", folder});
    }
  }

  // Runs `argv` as a client of this session to its end; its exit status, or -1.
  int run(const std::vector<std::string>& argv) {
    const pid_t pid = children_.spawn(argv, {}, settings_, (dir_ / "client.log").string());
    return pid > 0 ? children_.wait(pid) : -1;
  }

  // The windows Nautilus lists (object path → locations), or none when it doesn't answer.
  std::map<std::string, std::vector<std::string>> openWindows() const {
    std::map<std::string, std::vector<std::string>> windows;
    sd_bus* bus = nullptr;
    sd_bus_message* reply = nullptr;
    if (sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address_.c_str()) >= 0 &&
        sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 && owned(bus) &&
        sd_bus_get_property(bus, "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                            "org.freedesktop.FileManager1", "OpenWindowsWithLocations", nullptr,
                            &reply, "a{sas}") >= 0 &&
        sd_bus_message_enter_container(reply, 'a', "{sas}") > 0) {
      const char* object = nullptr;
      while (sd_bus_message_enter_container(reply, 'e', "sas") > 0 &&
             sd_bus_message_read(reply, "s", &object) > 0) {
        char** locations = nullptr;
        if (sd_bus_message_read_strv(reply, &locations) < 0) break;
        auto& each = windows[object];
        for (char** l = locations; l && *l; ++l) {
          each.emplace_back(*l);
          free(*l);
        }
        free(locations);
        sd_bus_message_exit_container(reply);
      }
    }
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return windows;
  }

  // Whether Nautilus owns its name on the bus now.
  bool running() const {
    sd_bus* bus = nullptr;
    const bool up = sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address_.c_str()) >= 0 &&
                    sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 && owned(bus);
    sd_bus_flush_close_unref(bus);
    return up;
  }

  // Has Nautilus quit (`nautilus --quit`) and waits until its name is gone; whether it went.
  bool quit() {
    if (!running()) return true;
    run({"nautilus", "--quit"});
    return waitUntil([&] { return !running(); }, 10);
  }

 private:
  static bool owned(sd_bus* bus) {
    sd_bus_message* reply = nullptr;
    int has = 0;
    const bool ok = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s",
                                       "org.freedesktop.FileManager1") >= 0 &&
                    sd_bus_message_read(reply, "b", &has) >= 0;
    sd_bus_message_unref(reply);
    return ok && has != 0;
  }

  TempDir dir_;
  ChildProcesses children_;  // declared after dir_: every process ends before its files go
  std::string address_;
  std::vector<std::string> settings_;
  std::string error_;
  pid_t daemon_ = -1;
};

}  // namespace brimwell::testing
