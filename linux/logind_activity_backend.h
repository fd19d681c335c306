// LogindActivityBackend: `keepAwake` holds a logind idle lock through a `systemd-inhibit` child
// that lives exactly as long as the activity (or this process); without logind, and for
// `keepRunning`, it silently holds nothing. Engine thread only.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "core/engine/activity.h"

namespace brimwell {

struct LogindActivityOptions {
  // The program that takes the lock and runs a command while holding it.
  std::string inhibitProgram = "/usr/bin/systemd-inhibit";
  // Present only on a machine booted with systemd, where logind can be reached.
  std::filesystem::path systemdRuntime = "/run/systemd/system";
  // Who holds the lock, as logind lists it.
  std::string who = "Brimwell";
};

// The child runs `cat` on a pipe whose write end only this process holds: ending the activity, or
// this process dying, closes it, the command ends and logind drops the lock.
class LogindActivityBackend final : public ActivityBackend {
 public:
  explicit LogindActivityBackend(LogindActivityOptions options = {});

  // For keepAwake, an activity owning the inhibitor child; otherwise, or when no child could be
  // started, an activity that holds nothing. Never fails.
  std::unique_ptr<Activity> begin(ActivityLevel level, std::string_view reason) override;

 private:
  LogindActivityOptions options_;
};

}  // namespace brimwell
