#include "linux/capture/clipboard_targets.h"

#include <algorithm>
#include <array>

namespace brimwell {

bool isMetaTarget(std::string_view target) {
  // The targets that ask the owner to do something or tell about the owner (its host, user,
  // window, process), not about what was copied.
  static constexpr std::array<std::string_view, 18> kMeta = {
      "TARGETS",          "MULTIPLE",       "TIMESTAMP",   "SAVE_TARGETS",
      "DELETE",           "LENGTH",         "LIST_LENGTH", "HOSTNAME",
      "IP_ADDRESS",       "USER",           "CLASS",       "NAME",
      "CLIENT_WINDOW",    "OWNER_OS",       "PROCESS",     "TASK",
      "INSERT_SELECTION", "INSERT_PROPERTY"};
  return std::find(kMeta.begin(), kMeta.end(), target) != kMeta.end();
}

std::vector<std::string> dataTargets(const std::vector<std::string>& offered) {
  std::vector<std::string> targets;
  for (const auto& target : offered) {
    if (target.empty() || isMetaTarget(target)) continue;
    if (std::find(targets.begin(), targets.end(), target) != targets.end()) continue;
    targets.push_back(target);
  }
  return targets;
}

bool ClipboardBudget::take(std::int64_t size) {
  if (stopped_ || size > left_) {
    stopped_ = true;
    return false;
  }
  left_ -= size;
  return true;
}

}  // namespace brimwell
