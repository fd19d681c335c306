// What the engine publishes: EngineState, the whole picture, sent to its observer whenever it
// changes (at most once per step), and EngineEvent, the discrete things the user may be told.
// Plain values.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/helper/helper_state.h"
#include "brimwell/core/helper/power_saver_record.h"
#include "brimwell/core/journal/pending_restore.h"
#include "brimwell/core/power/battery_reading.h"
#include "brimwell/core/power/phase.h"
#include "brimwell/core/snapshots/snapshot_summary.h"
#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

struct EngineState {
  Phase phase = Phase::watch;
  std::optional<BatteryReading> battery;     // the latest raw reading
  std::optional<SnapshotSummary> latest;     // the newest stored snapshot
  std::optional<Date> lastSavePass;          // when the last save pass finished
  std::vector<SaverResult> lastSaveResults;  // that pass's per-application results
  bool isWorking = false;                    // a capture or save pass is running
  HelperState helper = helper_state::NotInstalled{};
  PowerSaverRecord powerSaver;             // what power saving holds changed
  std::optional<PowerSource> powerSource;  // the effective power source
  std::optional<int> minutesToEmpty;       // smoothed; absent on the adapter
  std::optional<PendingRestore> pendingRestore;

  friend bool operator==(const EngineState&, const EngineState&) = default;
};

namespace engine_event {
// The engine entered a deeper phase because of this reading.
struct EnteredPhase {
  Phase phase;
  BatteryReading reading;
  friend bool operator==(const EnteredPhase&, const EnteredPhase&) = default;
};
// Entry or drill work took its snapshot after a save pass; `results` is empty when the pass ran
// out of time.
struct SavePassFinished {
  std::vector<SaverResult> results;
  SnapshotSummary snapshot;
  friend bool operator==(const SavePassFinished&, const SavePassFinished&) = default;
};
// The reading's own power source turned from battery to the adapter.
struct PluggedIn {
  BatteryReading reading;
  friend bool operator==(const PluggedIn&, const PluggedIn&) = default;
};
// The reading's own power source turned from the adapter to battery.
struct Unplugged {
  BatteryReading reading;
  friend bool operator==(const Unplugged&, const Unplugged&) = default;
};
// A capture or save pass ran out of time, or a snapshot could not be stored.
struct CaptureFailed {
  std::string message;
  friend bool operator==(const CaptureFailed&, const CaptureFailed&) = default;
};
// Safe Landing was refused or did not happen.
struct SafeLandingFailed {
  std::string message;
  friend bool operator==(const SafeLandingFailed&, const SafeLandingFailed&) = default;
};
// Safe Landing has begun.
struct SafeLandingStarting {
  friend bool operator==(const SafeLandingStarting&, const SafeLandingStarting&) = default;
};
}  // namespace engine_event

using EngineEvent =
    std::variant<engine_event::EnteredPhase, engine_event::SavePassFinished,
                 engine_event::PluggedIn, engine_event::Unplugged, engine_event::CaptureFailed,
                 engine_event::SafeLandingFailed, engine_event::SafeLandingStarting>;

}  // namespace brimwell
