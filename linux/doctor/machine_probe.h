// Finding out what Brimwell can do on this machine: the files under a directory standing for /
// (its proc, sys and usr trees), logind, polkit and power-profiles-daemon on the system bus, the
// notification server on the session bus, the helper daemon through its client, and the
// applications installed. Every wait is bounded: each bus has a limit for all of its calls, and
// the helper client its own deadline. Blocking; any one thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/helper/helper_client.h"
#include "linux/desktop_session.h"
#include "linux/doctor/machine_facts.h"

namespace brimwell {

struct ProbeOptions {
  std::filesystem::path root = "/";
  std::chrono::milliseconds busLimit{2000};
  HelperClientOptions helper = HelperClientOptions::defaults();
  SessionEnvironment session;
  std::vector<std::filesystem::path> applicationDirs;  // where desktop entries are installed
  std::string path;                                    // PATH, where programs are looked for
  std::optional<std::filesystem::path> home;           // for Firefox's profiles
  std::optional<std::filesystem::path> configHome;     // for the Chromium family's
  uid_t uid = 0;

  // This process's: the real root, environment, XDG directories, home and user.
  static ProbeOptions forProcess();
};

// The polkit action file the helper's actions come from, relative to the root.
inline constexpr const char* kPolkitPolicyPath =
    "/usr/share/polkit-1/actions/com.tallowgate.brimwell.helper.policy";

MachineFacts probeMachine(const ProbeOptions& options);

}  // namespace brimwell
