#include "linux/status_item_model.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

#include "brimwell/core/base/enum_text.h"

namespace brimwell {
namespace {

// "14:05" in `zone`, with the date ("2026-03-01 14:05") when `withDay`.
std::string localTime(Date date, const TimeZone& zone, bool withDay) {
  const auto local = std::chrono::floor<std::chrono::seconds>(date) + zone.utcOffset(date);
  const auto day = std::chrono::floor<std::chrono::days>(local);
  const std::chrono::year_month_day ymd{day};
  const std::chrono::hh_mm_ss time{local - day};
  char text[32];
  if (withDay) {
    std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(time.hours().count()),
                  int(time.minutes().count()));
  } else {
    std::snprintf(text, sizeof text, "%02d:%02d", int(time.hours().count()),
                  int(time.minutes().count()));
  }
  return text;
}

std::string count(int n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string phaseTitle(Phase phase) {
  switch (phase) {
    case Phase::watch:
      return "Brimwell is watching the battery";
    case Phase::ready:
      return "Brimwell is ready: the battery is low";
    case Phase::brimwell:
      return "Brimwell is saving your work: the battery is very low";
    case Phase::landing:
      return "Brimwell is landing: the machine will hibernate";
  }
  return "Brimwell";
}

std::string chargeLine(const EngineState& state) {
  if (!state.battery) return "No battery reading yet.";
  const BatteryReading& reading = *state.battery;
  const PowerSource source = state.powerSource.value_or(reading.powerSource);
  std::string line = std::to_string(reading.percent) + " %";
  if (source == PowerSource::ac) {
    line += reading.isCharging ? " on the adapter, charging." : " on the adapter.";
  } else if (state.minutesToEmpty) {
    line += " on battery, " + count(*state.minutesToEmpty, "minute", "minutes") + " left.";
  } else {
    line += " on battery.";
  }
  return line;
}

std::string snapshotLine(const EngineState& state, Date now, const TimeZone& zone) {
  if (!state.latest) return "No snapshot yet.";
  const double seconds = secondsBetween(now, state.latest->createdAt);
  const long minutes = seconds > 0 ? long(std::floor(seconds / 60)) : 0;
  const bool today = localTime(now, zone, true).substr(0, 10) ==
                     localTime(state.latest->createdAt, zone, true).substr(0, 10);
  std::string line = "Last snapshot " + localTime(state.latest->createdAt, zone, !today);
  if (minutes < 1) return line + " (just now).";
  if (minutes < 120) return line + " (" + count(int(minutes), "minute", "minutes") + " ago).";
  return line + ".";
}

std::string triggerText(CaptureTrigger trigger) {
  switch (trigger) {
    case CaptureTrigger::manual:
      return "taken by hand";
    case CaptureTrigger::drill:
      return "drill";
    default:
      return std::string(toString(trigger)) + " phase";
  }
}

// "2026-03-01 14:05 (ready phase, 5 apps, 12 tabs)"
std::string snapshotLabel(const SnapshotSummary& summary, const TimeZone& zone) {
  std::string label = localTime(summary.createdAt, zone, true) + " (" +
                      triggerText(summary.trigger) + ", " + count(summary.appCount, "app", "apps");
  if (summary.tabCount > 0) label += ", " + count(summary.tabCount, "tab", "tabs");
  return label + ")";
}

enum EntryId : int {
  captureId = 1,
  restoreId = 2,
  drillId = 3,
  settingsId = 4,
  separatorId = 5,
  quitId = 6,
  firstSnapshotId = 100,
};

}  // namespace

StatusItemLook statusItemLook(const EngineState& state, Date now, const TimeZone& zone) {
  StatusItemLook look;
  look.iconName = "brimwell-phase-" + std::string(toString(state.phase));
  look.status = state.phase >= Phase::brimwell ? "NeedsAttention" : "Active";
  look.title = phaseTitle(state.phase);
  look.text = chargeLine(state) + "\n" + snapshotLine(state, now, zone);
  if (state.isWorking) look.text += "\nWorking on a snapshot or a save pass.";
  return look;
}

std::vector<StatusMenuEntry> statusMenu(std::vector<SnapshotSummary> snapshots,
                                        const TimeZone& zone) {
  // Identifiers sort as text in time order.
  std::sort(snapshots.begin(), snapshots.end(),
            [](const SnapshotSummary& a, const SnapshotSummary& b) { return a.id > b.id; });
  if (snapshots.size() > statusMenuSnapshotLimit) snapshots.resize(statusMenuSnapshotLimit);

  StatusMenuEntry restore{.id = restoreId, .label = "Restore…", .enabled = !snapshots.empty()};
  for (std::size_t i = 0; i < snapshots.size(); ++i) {
    restore.children.push_back({.id = firstSnapshotId + int(i),
                                .label = snapshotLabel(snapshots[i], zone),
                                .request = StatusRequest{StatusAction::restore, snapshots[i].id}});
  }
  return {
      {.id = captureId, .label = "Take a snapshot now", .request = {{StatusAction::captureNow}}},
      std::move(restore),
      {.id = drillId, .label = "Run a drill", .request = {{StatusAction::runDrill}}},
      {.id = settingsId, .label = "Open settings", .request = {{StatusAction::openSettings}}},
      {.id = separatorId},
      {.id = quitId, .label = "Quit", .request = {{StatusAction::quit}}},
  };
}

const StatusMenuEntry* findStatusMenuEntry(const std::vector<StatusMenuEntry>& menu, int id) {
  for (const StatusMenuEntry& entry : menu) {
    if (entry.id == id) return &entry;
    if (const StatusMenuEntry* child = findStatusMenuEntry(entry.children, id)) return child;
  }
  return nullptr;
}

std::optional<StatusRequest> statusRequest(const std::vector<StatusMenuEntry>& menu, int id) {
  const StatusMenuEntry* entry = findStatusMenuEntry(menu, id);
  if (entry == nullptr || !entry->enabled) return std::nullopt;
  return entry->request;
}

}  // namespace brimwell
