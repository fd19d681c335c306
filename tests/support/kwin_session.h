// KwinSession: a private KWin compositor, headless (its virtual backend at 1280x800, no lock
// screen, no global shortcuts, no activities) on a private session bus and in a runtime
// directory and home of its own, for tests that need real Wayland clients of KDE Plasma's
// compositor. The package gives kwin_wayland a file capability that a container's bounding set
// may lack, which makes exec fail; a copy of the program (a copy carries no capability) runs
// instead. KWin runs as root and as an ordinary user alike. KWin offers its fake input (to press
// keys) only to programs whose desktop file names it; the session writes one for the programs it
// is given. Clients start with WAYLAND_DISPLAY, XDG_RUNTIME_DIR and the session bus set, and every
// process ends with the session. A missing KWin shows in `error()` with the last line KWin wrote;
// tests fail on it.
#pragma once

#include <systemd/sd-bus.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_processes.h"
#include "tests/support/private_bus.h"
#include "tests/support/temp_dir.h"

namespace brimwell::testing {

class KwinSession {
 public:
  // `pressingKeys`: programs (absolute paths) KWin lets use its fake input.
  explicit KwinSession(const std::vector<std::string>& pressingKeys = {}) {
    namespace fs = std::filesystem;
    const fs::path applications = home_ / "share" / "applications";
    fs::create_directories(applications);
    for (std::size_t i = 0; i < pressingKeys.size(); ++i) {
      std::ofstream(applications / ("brimwell-test-" + std::to_string(i) + ".desktop"))
          << "[Desktop Entry]\nType=Application\nName=Keys\nNoDisplay=true\nExec="
          << pressingKeys[i] << "\nX-KDE-Wayland-Interfaces=org_kde_kwin_fake_input\n";
    }
    runtime_ = home_ / "runtime";
    fs::create_directory(runtime_);
    fs::permissions(runtime_, fs::perms::owner_all, fs::perm_options::replace);
    const fs::path program = home_ / "kwin_wayland";
    std::error_code copied;
    fs::copy_file("/usr/bin/kwin_wayland", program, copied);
    if (copied) {
      error_ = "KWin could not be started headless (is the kwin-wayland package installed?)";
      return;
    }
    fs::permissions(program, fs::perms::owner_all, fs::perm_options::replace);
    const std::string log = (home_ / "kwin.log").string();
    kwin_ = children_.spawn(
        {program.string(), "--virtual", "--socket", kSocket, "--width", "1280", "--height", "800",
         "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities"},
        {},
        {"XDG_RUNTIME_DIR=" + runtime_.string(), "HOME=" + home_.path().string(),
         "XDG_CONFIG_HOME=" + (home_ / "config").string(),
         "XDG_DATA_HOME=" + (home_ / "share").string(),
         "XDG_CACHE_HOME=" + (home_ / "cache").string(), "WAYLAND_DISPLAY", "DISPLAY",
         "QT_QPA_PLATFORM", "XDG_CURRENT_DESKTOP=KDE"},
        log);
    if (kwin_ > 0 && waitUntil([&] { return scriptingReady(); }, 15)) return;
    std::ifstream said(log);
    std::string line, last;
    while (std::getline(said, line)) {
      if (!line.empty()) last = line;
    }
    error_ = "KWin could not be started headless (is the kwin-wayland package installed?)";
    if (!last.empty()) error_ += "; KWin said: " + last;
  }
  KwinSession(const KwinSession&) = delete;
  KwinSession& operator=(const KwinSession&) = delete;

  bool ready() const { return error_.empty(); }
  const std::string& error() const { return error_; }
  std::string waylandDisplay() const { return (runtime_ / kSocket).string(); }
  std::string runtimeDirectory() const { return runtime_.string(); }

  // What a client of this session has in its environment, as NAME=value (the session bus is
  // this process's while the session lives).
  std::vector<std::string> environment() const {
    return {"WAYLAND_DISPLAY=" + waylandDisplay(),
            "XDG_RUNTIME_DIR=" + runtime_.string(),
            "XDG_SESSION_TYPE=wayland",
            "XDG_CURRENT_DESKTOP=KDE",
            "DISPLAY",
            "SWAYSOCK",
            "I3SOCK",
            "LC_ALL=C.UTF-8",
            "SHELL=/bin/sh"};
  }

  // Starts `argv` as a client of this session in `directory` (empty: here); ended at the end.
  pid_t launch(const std::vector<std::string>& argv, const std::string& directory = {},
               std::vector<std::string> settings = {}) {
    auto all = environment();
    all.push_back("HOME=" + home_.path().string());
    all.insert(all.end(), settings.begin(), settings.end());
    return children_.spawn(argv, directory, all, (home_ / "clients.log").string());
  }
  void end(pid_t pid) { children_.end(pid); }

  template <class Condition>
  static bool waitUntil(Condition condition, double seconds) {
    return testing::waitUntil(std::move(condition), seconds, std::chrono::milliseconds(50));
  }

 private:
  static constexpr const char* kSocket = "wayland-brimwell";

  // KWin has its socket and its scripting object on the bus.
  bool scriptingReady() const {
    if (!std::filesystem::exists(runtime_ / kSocket) || !children_.alive(kwin_)) return false;
    sd_bus* bus = nullptr;
    if (sd_bus_open_user(&bus) < 0) return false;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    const int called =
        sd_bus_call_method(bus, "org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting",
                           "isScriptLoaded", &error, &reply, "s", "brimwell-probe");
    sd_bus_error_free(&error);
    sd_bus_message_unref(reply);
    sd_bus_flush_close_unref(bus);
    return called >= 0;
  }

  PrivateBus bus_;  // first made, last gone: KWin and its clients are this bus's
  TempDir home_;
  ChildProcesses children_;  // declared after home_: every process ends before its home goes
  std::filesystem::path runtime_;
  std::string error_;
  pid_t kwin_ = -1;
};

}  // namespace brimwell::testing
