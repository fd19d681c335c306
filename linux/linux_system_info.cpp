#include "linux/linux_system_info.h"

#include "brimwell/core/storage/read_file.h"

namespace brimwell {
namespace {

// The file's first line without surrounding white space, or "unknown" when there is none.
std::string firstLineOr(const std::filesystem::path& file) {
  const auto content = readFile(file);
  if (!content) return LinuxSystemInfo::unknown;
  std::string line = content->substr(0, content->find('\n'));
  const auto first = line.find_first_not_of(" \t\r");
  if (first == std::string::npos) return LinuxSystemInfo::unknown;
  line.erase(0, first);
  line.erase(line.find_last_not_of(" \t\r") + 1);
  return line;
}

}  // namespace

LinuxSystemInfo::LinuxSystemInfo(std::filesystem::path procRoot, std::filesystem::path sysRoot)
    : procRoot_(std::move(procRoot)), sysRoot_(std::move(sysRoot)) {}

std::string LinuxSystemInfo::bootSessionUUID() {
  return firstLineOr(procRoot_ / "sys/kernel/random/boot_id");
}

std::string LinuxSystemInfo::hostModel() {
  return firstLineOr(sysRoot_ / "class/dmi/id/product_name");
}

}  // namespace brimwell
