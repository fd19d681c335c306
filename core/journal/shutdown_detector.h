// ShutdownDetector: decides at start how the previous session ended, from the journal it left, the
// current boot session, the thresholds in force and a test of whether a snapshot is still stored.
// Pure functions; `snapshotExists` is called on the caller's thread, at most twice.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/journal/journal.h"
#include "brimwell/core/journal/shutdown_verdict.h"
#include "brimwell/core/power/thresholds.h"

namespace brimwell::ShutdownDetector {

// How close to the last heartbeat a snapshot must be for an unexpected shutdown to be offered.
inline constexpr double freshSnapshotWindow = 1800;

// A clean exit counts unless it was recorded on battery in brimwell or landing.
bool trustsCleanExit(const Journal& journal);

ShutdownVerdict verdict(const std::optional<Journal>& journal, std::string_view currentBootSession,
                        const Thresholds& thresholds,
                        const std::function<bool(const std::string&)>& snapshotExists);

}  // namespace brimwell::ShutdownDetector
