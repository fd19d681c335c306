#include "linux/capture/file_manager_source.h"

#include <cerrno>
#include <string_view>

#include "linux/deadline_bus.h"

namespace brimwell {
namespace {

Unexpected<Error> unreadable(const std::string& why) {
  return fail("The file manager's open windows can't be read (" + why + ").");
}

// The a{sas} of OpenWindowsWithLocations, within the limits on windows and locations.
Result<std::vector<FileManagerWindow>> readWindows(sd_bus_message* m) {
  std::vector<FileManagerWindow> windows;
  if (sd_bus_message_enter_container(m, 'v', "a{sas}") <= 0 ||
      sd_bus_message_enter_container(m, 'a', "{sas}") <= 0) {
    return unreadable("OpenWindowsWithLocations isn't a list of windows and their locations");
  }
  int r = 0;
  while ((r = sd_bus_message_enter_container(m, 'e', "sas")) > 0) {
    const char* object = nullptr;
    if (sd_bus_message_read(m, "s", &object) < 0 ||
        sd_bus_message_enter_container(m, 'a', "s") < 0) {
      return unreadable("a window's entry is malformed");
    }
    FileManagerWindow window{.object = object};
    const char* location = nullptr;
    while ((r = sd_bus_message_read(m, "s", &location)) > 0) {
      const std::string_view text(location);
      if (window.locations.size() < kMaxWindowLocations && text.size() <= kMaxLocationLength) {
        window.locations.emplace_back(text);
      }
    }
    if (r < 0 || sd_bus_message_exit_container(m) < 0 || sd_bus_message_exit_container(m) < 0) {
      return unreadable("a window's locations are malformed");
    }
    if (windows.size() < kMaxFileManagerWindows) windows.push_back(std::move(window));
  }
  if (r < 0) return unreadable("the list of windows is malformed");
  return windows;
}

}  // namespace

Result<OpenFolderWindows> BusFileManagerSource::openWindows() {
  DeadlineBus bus(DeadlineBus::Kind::session, limit_);
  auto message =
      bus.newCall(kFileManagerBusName, kFileManagerPath, "org.freedesktop.DBus.Properties", "Get");
  if (message && sd_bus_message_append(message.get(), "ss", kFileManagerInterface,
                                       "OpenWindowsWithLocations") < 0) {
    message.reset();
  }
  // Asked without starting one: a capture opens no file manager.
  if (message) (void)sd_bus_message_set_auto_start(message.get(), 0);
  auto reply = bus.call(std::move(message));
  if (!reply) {
    if (reply.error().code() == ENOENT) return fail("No file manager runs on the session bus.");
    return unreadable(reply.error().message());
  }
  auto windows = readWindows(reply->get());
  if (!windows) return Unexpected(std::move(windows).error());
  return OpenFolderWindows{.pid = bus.ownerProcess(kFileManagerBusName),
                           .windows = std::move(*windows)};
}

}  // namespace brimwell
