#include "linux/restore/konsole_tabs.h"

#include <thread>

#include "linux/deadline_bus.h"

namespace brimwell {

Status openKonsoleTabs(pid_t pid, const std::vector<std::string>& directories,
                       std::chrono::milliseconds wait) {
  if (directories.empty()) return {};
  const auto until = std::chrono::steady_clock::now() + wait;
  const std::string service = "org.kde.konsole-" + std::to_string(pid);
  DeadlineBus bus(DeadlineBus::Kind::session, std::chrono::milliseconds(1000));
  while (bus.ownerProcess(service.c_str()) != pid) {
    if (std::chrono::steady_clock::now() >= until) {
      return fail("Konsole didn't answer on the session bus, so its other tabs weren't opened.");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  for (const auto& directory : directories) {
    auto message =
        bus.newCall(service.c_str(), "/Windows/1", "org.kde.konsole.Window", "newSession");
    if (message && sd_bus_message_append(message.get(), "ss", "", directory.c_str()) < 0) {
      message.reset();
    }
    if (auto opened = bus.call(std::move(message)); !opened) {
      return fail("Konsole didn't open a tab in " + directory + " (" + opened.error().message() +
                  ").");
    }
  }
  return {};
}

}  // namespace brimwell
