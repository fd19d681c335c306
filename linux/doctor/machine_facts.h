// MachineFacts: everything `brimwell doctor` found out about this machine, as plain values, so
// that what it concludes and says is decided by pure functions over this record. A fact that
// couldn't be learnt carries the one sentence saying why. Any thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/snapshots/app_kinds.h"
#include "linux/desktop_session.h"
#include "linux/doctor/hibernation_facts.h"
#include "linux/gnome_extension.h"
#include "linux/platform_profile.h"

namespace brimwell {

// A bus peer's answer, or the sentence for why there is none.
struct BusAnswer {
  std::optional<std::string> value;
  std::string failure;
  friend bool operator==(const BusAnswer&, const BusAnswer&) = default;
};

struct HelperFacts {
  enum class Reach { notInstalled, unreachable, ready };
  Reach reach = Reach::notInstalled;
  std::string reason;                   // why it is unreachable
  std::optional<std::int64_t> version;  // what helperVersion answered
  std::string socketPath;
  friend bool operator==(const HelperFacts&, const HelperFacts&) = default;
};

struct AuthorizationFacts {
  enum class Answer { root, allowed, needsPassword, denied };
  bool policyInstalled = false;
  std::string policyPath;
  std::optional<Answer> mayChange;  // absent when polkit couldn't be asked
  std::string failure;
  friend bool operator==(const AuthorizationFacts&, const AuthorizationFacts&) = default;
};

// A browser's profiles, and how many of them hold a session file that reads and decodes.
struct BrowserSessionFacts {
  std::size_t profiles = 0;
  std::size_t readable = 0;
  friend bool operator==(const BrowserSessionFacts&, const BrowserSessionFacts&) = default;
};

struct ApplicationFacts {
  std::vector<std::string> desktopIDs;  // the installed desktop entries' IDs
  bool tmuxInstalled = false;
  bool emacsclientInstalled = false;
  bool vimClientServer = false;  // the vim on PATH says +clientserver, so it can be asked to save
  // The browsers whose profiles are set up: Firefox with a profiles.ini, a Chromium-family
  // browser with its user-data folder.
  std::map<BrowserKind, BrowserSessionFacts> browserSessions;
  friend bool operator==(const ApplicationFacts&, const ApplicationFacts&) = default;
};

struct MachineFacts {
  std::optional<std::string> batteryPath;  // the battery's sysfs directory
  bool batteryReadable = false;            // whether a reading can be made of it
  std::string powerSupplyDir;              // where batteries were looked for
  HelperFacts helper;
  AuthorizationFacts authorization;
  BusAnswer canHibernate, canHybridSleep, canSuspend;
  HibernationFacts hibernation;
  BusAnswer powerProfile;  // power-profiles-daemon's ActiveProfile; no value and no failure: absent
  std::optional<PlatformProfile> platformProfile;
  std::optional<std::string> panelBacklight;  // the backlight's name
  std::string backlightDir;
  BusAnswer logindSession;  // the object path of the caller's own session
  DesktopBackendKind desktop = DesktopBackendKind::none;
  std::optional<ExtensionVerdict> gnomeExtension;  // asked only on GNOME
  BusAnswer notificationServer;                    // its name and version
  ApplicationFacts applications;
  friend bool operator==(const MachineFacts&, const MachineFacts&) = default;
};

}  // namespace brimwell
