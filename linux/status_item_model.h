// What the status item shows and offers while `watch` runs: the icon, status and tooltip for the
// engine's state, the menu for the stored snapshots, and what a click on an entry asks of the
// running watch. Pure functions over plain values.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/base/time_zone.h"
#include "brimwell/core/engine/engine_state.h"
#include "brimwell/core/snapshots/snapshot_summary.h"

namespace brimwell {

struct StatusItemLook {
  std::string iconName;  // one icon of the hicolor theme per phase
  std::string status;    // "Active", or "NeedsAttention" once documents are being saved
  std::string title;     // the tooltip's title
  std::string text;      // the tooltip's lines: the charge, then the newest snapshot

  friend bool operator==(const StatusItemLook&, const StatusItemLook&) = default;
};

// The look for `state` at `now`, with times of day in `zone`.
StatusItemLook statusItemLook(const EngineState& state, Date now, const TimeZone& zone);

enum class StatusAction { captureNow, restore, runDrill, openSettings, quit };

struct StatusRequest {
  StatusAction action = StatusAction::captureNow;
  std::string snapshotId;  // the snapshot to restore, for `restore` only

  friend bool operator==(const StatusRequest&, const StatusRequest&) = default;
};

// One entry of the menu: an action, a submenu (with children) or a separator (no label).
struct StatusMenuEntry {
  int id = 0;
  std::string label;
  bool enabled = true;
  std::optional<StatusRequest> request;  // what clicking it asks for; absent for the others
  std::vector<StatusMenuEntry> children;

  friend bool operator==(const StatusMenuEntry&, const StatusMenuEntry&) = default;
};

// How many snapshots the "Restore…" submenu offers, the newest first.
inline constexpr int statusMenuSnapshotLimit = 10;

// The menu's top-level entries for the stored `snapshots` (in any order): "Take a snapshot now",
// "Restore…" with the newest snapshots (disabled when there is none), "Run a drill", "Open
// settings", a separator and "Quit". Ids are positive and unique; 0 is the menu's root.
std::vector<StatusMenuEntry> statusMenu(std::vector<SnapshotSummary> snapshots,
                                        const TimeZone& zone);

// The entry of `menu` (at any depth) with id `id`, or nothing.
const StatusMenuEntry* findStatusMenuEntry(const std::vector<StatusMenuEntry>& menu, int id);

// What clicking the entry `id` asks for: nothing for an unknown id, a submenu, a separator or a
// disabled entry.
std::optional<StatusRequest> statusRequest(const std::vector<StatusMenuEntry>& menu, int id);

}  // namespace brimwell
