// BrimwellHelperConstants: the one place both the daemon and its clients take the contract's
// names, requirements, versions, paths and time budgets from. Constants and pure functions; any
// thread.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>

#include "brimwell/core/helper/helper_call.h"

namespace brimwell {

// A value of a build-information map: text, a whole number, a fraction or a flag.
using InfoValue = std::variant<std::string, std::int64_t, double, bool>;

namespace BrimwellHelperConstants {

inline constexpr std::string_view machServiceName = "com.tallowgate.brimwell.helper";
inline constexpr std::string_view label = "com.tallowgate.brimwell.helper";
inline constexpr std::string_view helperIdentifier = "com.tallowgate.brimwell.helper";
inline constexpr std::string_view plistName = "com.tallowgate.brimwell.helper.plist";
inline constexpr std::string_view appIdentifier = "com.tallowgate.brimwell";
inline constexpr std::string_view teamID = "QX7T31ZK4M";

inline constexpr std::string_view clientRequirement =
    "anchor apple generic and identifier \"com.tallowgate.brimwell\" and certificate "
    "1[field.1.2.840.113635.100.6.2.6] and certificate leaf[field.1.2.840.113635.100.6.1.13] and "
    "certificate leaf[subject.OU] = \"QX7T31ZK4M\"";
inline constexpr std::string_view helperRequirement =
    "anchor apple generic and identifier \"com.tallowgate.brimwell.helper\" and certificate "
    "1[field.1.2.840.113635.100.6.2.6] and certificate leaf[field.1.2.840.113635.100.6.1.13] and "
    "certificate leaf[subject.OU] = \"QX7T31ZK4M\"";

inline constexpr std::int64_t version = 2;

inline constexpr std::string_view helperStatePath =
    "/Library/Application Support/Brimwell/helper-state.json";

inline constexpr double idleExitAfter = 60;
inline constexpr double commandTimeout = 10;
inline constexpr double commandStopGrace = 3;
inline constexpr double worstCommandRun = commandTimeout + commandStopGrace;

inline constexpr std::int64_t safeLandingHibernateMode = 25;
inline const std::set<std::int64_t> allowedHibernateModes = {0, 3, 25};

// The Linux stand-ins for the named service and the two signed executables. Packaging may
// override them at build time; these are the defaults.
extern const std::string_view socketPath;            // "/run/com.tallowgate.brimwell.helper.sock"
extern const std::string_view helperExecutablePath;  // the installed daemon
extern const std::string_view applicationExecutablePath;  // the installed application
// Where the daemon keeps its record on Linux: "/var/lib/brimwell/helper-state.json" (the
// directory above the record's own must exist, which /var/lib always does).
extern const std::string_view recordPath;

// The value of "CFBundleVersion" when it is text that is a whole plain decimal number; absent
// when it is missing, not text, empty or anything else.
std::optional<std::int64_t> buildVersion(const std::map<std::string, InfoValue>& info);

// The compiled-in build version read through `buildVersion`, or `version` when that is absent.
std::int64_t runningVersion();

// The worst time the daemon may take for `call`, waiting behind one other call included.
double helperWorstCase(HelperCall call);

// The reply deadline a client allows `call`.
double clientTimeout(HelperCall call);

}  // namespace BrimwellHelperConstants
}  // namespace brimwell
