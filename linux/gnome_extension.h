// Brimwell's GNOME Shell extension as the Shell sees it, through the Shell's own
// org.gnome.Shell.Extensions interface on the session bus: whether the Shell knows it, its state,
// and turning it on (which adds it to the user's enabled extensions, as the Extensions app does).
// What is concluded from the Shell's answer is a pure function over a plain record.
#pragma once

#include <string>
#include <vector>

#include "brimwell/core/base/error.h"
#include "linux/deadline_bus.h"

namespace brimwell {

inline constexpr const char* kBrimwellExtensionUUID = "brimwell@tallowgate.com";

// What the Shell says of an extension. `unknown` is an extension the Shell doesn't know: not
// installed, or installed after the Shell started (a Wayland Shell finds it at the next login).
struct ShellExtensionFacts {
  enum class State { unknown, on, off, failed, outOfDate, other };
  std::string shellVersion;
  State state = State::unknown;
  std::string error;                           // the Shell's words for a failed extension
  std::vector<std::string> supportedVersions;  // the extension's own list of Shell versions
  friend bool operator==(const ShellExtensionFacts&, const ShellExtensionFacts&) = default;
};

// The Shell's numeric state (1 on, 2 off, 3 error, 4 out of date, 6 installed but never on) as
// one of ours.
ShellExtensionFacts::State shellExtensionState(double state);

struct ExtensionVerdict {
  bool on = false;
  std::string sentence;
  friend bool operator==(const ExtensionVerdict&, const ExtensionVerdict&) = default;
};

// Whether the extension works, in one sentence that says what to do when it doesn't.
ExtensionVerdict extensionVerdict(const ShellExtensionFacts& facts);

// The Shell's answer for `uuid`; fails in one sentence when no GNOME Shell answers.
Result<ShellExtensionFacts> readShellExtension(DeadlineBus& session, const std::string& uuid);

// Turns the extension on when the Shell has it off, and says where it stands afterwards:
// "Turned on …" when this call turned it on, else the verdict of what the Shell said.
Result<ExtensionVerdict> setUpShellExtension(DeadlineBus& session,
                                             const std::string& uuid = kBrimwellExtensionUUID);

}  // namespace brimwell
