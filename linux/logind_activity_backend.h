// LogindActivityBackend: keeps a Linux machine awake for `keepAwake` by holding a systemd-logind
// idle inhibitor lock, taken by a `systemd-inhibit` child that runs for as long as the activity
// lives. Where logind isn't running or the program can't be started it holds nothing and says
// nothing; `keepRunning` needs no lock on Linux and holds nothing. Engine thread only.
//
// The child waits on a pipe whose write end only this process holds, so the lock is released when
// the activity ends and also when this process dies, and no child outlives it.
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
