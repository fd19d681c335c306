// LinuxSystemInfo: system information of a Linux host. The boot session is the kernel's boot id,
// which is fixed while the machine is up and new after every boot; the model is the DMI product
// name. Either reads "unknown" when its file is missing or empty. Any thread.
#pragma once

#include <filesystem>
#include <string>

#include "brimwell/core/engine/collaborators.h"

namespace brimwell {

class LinuxSystemInfo final : public SystemInfoProviding {
 public:
  static constexpr const char* unknown = "unknown";

  // The roots stand for /proc and /sys, so tests can point them at fake trees.
  explicit LinuxSystemInfo(std::filesystem::path procRoot = "/proc",
                           std::filesystem::path sysRoot = "/sys");

  // The content of <proc>/sys/kernel/random/boot_id, such as
  // 56698288-4563-4728-bd33-827434290e37.
  std::string bootSessionUUID() override;
  // The content of <sys>/class/dmi/id/product_name.
  std::string hostModel() override;

 private:
  const std::filesystem::path procRoot_;
  const std::filesystem::path sysRoot_;
};

}  // namespace brimwell
