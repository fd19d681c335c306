#include "linux/restore/file_manager.h"

#include "linux/capture/file_manager_source.h"
#include "linux/capture/folder_locations.h"
#include "linux/deadline_bus.h"

namespace brimwell {

Status BusFileManager::showFolder(const std::string& folder) {
  DeadlineBus bus(DeadlineBus::Kind::session, limit_);
  auto message =
      bus.newCall(kFileManagerBusName, kFileManagerPath, kFileManagerInterface, "ShowFolders");
  const std::string location = locationOfFolder(folder);
  const char* locations[] = {location.c_str(), nullptr};
  if (message && (sd_bus_message_append_strv(message.get(), const_cast<char**>(locations)) < 0 ||
                  sd_bus_message_append(message.get(), "s", "") < 0)) {
    message.reset();
  }
  auto reply = bus.call(std::move(message));
  if (!reply) return Unexpected(std::move(reply).error());
  return {};
}

}  // namespace brimwell
