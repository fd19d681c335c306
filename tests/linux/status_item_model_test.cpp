#include "linux/status_item_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

Date at(const char* text) { return *BrimwellJSON::parse(text); }

BatteryReading reading(int percent, PowerSource source, bool charging = false) {
  BatteryReading value;
  value.percent = percent;
  value.powerSource = source;
  value.isCharging = charging;
  return value;
}

SnapshotSummary summary(const char* id, const char* created, CaptureTrigger trigger, int apps,
                        int tabs = 0) {
  return SnapshotSummary(id, at(created), trigger, apps, tabs, 0, 0);
}

TEST(StatusItemLook, ShowsThePhaseChargeAndNewestSnapshot) {
  const Date now = at("2026-03-01T14:20:00.000Z");
  EngineState quiet;
  EngineState ready;
  ready.phase = Phase::ready;
  ready.battery = reading(18, PowerSource::battery);
  ready.powerSource = PowerSource::battery;
  ready.minutesToEmpty = 41;
  ready.latest =
      summary("20260301T140509.250Z", "2026-03-01T14:05:09.250Z", CaptureTrigger::ready, 4);
  EngineState saving = ready;
  saving.phase = Phase::brimwell;
  saving.minutesToEmpty = 1;
  saving.isWorking = true;
  saving.latest->createdAt = at("2026-03-01T14:19:30.000Z");
  EngineState landing = saving;
  landing.phase = Phase::landing;
  landing.minutesToEmpty.reset();
  landing.isWorking = false;
  landing.latest->createdAt = at("2026-02-27T09:00:00.000Z");
  EngineState charging;
  charging.battery = reading(64, PowerSource::ac, true);
  charging.powerSource = PowerSource::ac;
  charging.latest =
      summary("20260301T110000.000Z", "2026-03-01T11:00:00.000Z", CaptureTrigger::manual, 2);
  // The adapter is believed only once it has held: the effective source wins over the reading's.
  EngineState unplugging = charging;
  unplugging.powerSource = PowerSource::battery;
  unplugging.battery->isCharging = false;

  const struct {
    const char* name;
    EngineState state;
    StatusItemLook look;
  } cases[] = {
      {"no reading yet",
       quiet,
       {"brimwell-phase-watch", "Active", "Brimwell is watching the battery",
        "No battery reading yet.\nNo snapshot yet."}},
      {"ready",
       ready,
       {"brimwell-phase-ready", "Active", "Brimwell is ready: the battery is low",
        "18 % on battery, 41 minutes left.\nLast snapshot 14:05 (14 minutes ago)."}},
      {"saving",
       saving,
       {"brimwell-phase-brimwell", "NeedsAttention",
        "Brimwell is saving your work: the battery is very low",
        "18 % on battery, 1 minute left.\nLast snapshot 14:19 (just now).\n"
        "Working on a snapshot or a save pass."}},
      {"landing, old snapshot",
       landing,
       {"brimwell-phase-landing", "NeedsAttention",
        "Brimwell is landing: the machine will hibernate",
        "18 % on battery.\nLast snapshot 2026-02-27 09:00."}},
      {"charging",
       charging,
       {"brimwell-phase-watch", "Active", "Brimwell is watching the battery",
        "64 % on the adapter, charging.\nLast snapshot 11:00."}},
      {"adapter not yet held",
       unplugging,
       {"brimwell-phase-watch", "Active", "Brimwell is watching the battery",
        "64 % on battery.\nLast snapshot 11:00."}},
  };
  for (const auto& c : cases) {
    const StatusItemLook look = statusItemLook(c.state, now, TimeZone::utc());
    EXPECT_EQ(look.iconName, c.look.iconName) << c.name;
    EXPECT_EQ(look.status, c.look.status) << c.name;
    EXPECT_EQ(look.title, c.look.title) << c.name;
    EXPECT_EQ(look.text, c.look.text) << c.name;
  }
}

TEST(StatusItemLook, GivesTimesOfDayInTheLocalZone) {
  EngineState state;
  state.latest =
      summary("20260301T230500.000Z", "2026-03-01T23:05:00.000Z", CaptureTrigger::manual, 1);
  // 00:05 on the next day in Berlin, where it is 00:10 now: the same local day, no date shown.
  const auto berlin = TimeZone::named("Europe/Berlin");
  ASSERT_TRUE(berlin.has_value()) << "the zone database (tzdata) is missing";
  const auto look = statusItemLook(state, at("2026-03-01T23:10:00.000Z"), *berlin);
  EXPECT_EQ(look.text, "No battery reading yet.\nLast snapshot 00:05 (5 minutes ago).");
}

std::vector<std::string> labels(const std::vector<StatusMenuEntry>& entries) {
  std::vector<std::string> result;
  for (const auto& entry : entries) result.push_back(entry.label);
  return result;
}

TEST(StatusMenu, OffersTheNewestSnapshotsFirstAndAtMostTen) {
  const auto empty = statusMenu({}, TimeZone::utc());
  EXPECT_EQ(labels(empty), (std::vector<std::string>{"Take a snapshot now", "Restore…",
                                                     "Run a drill", "Open settings", "", "Quit"}));
  EXPECT_FALSE(empty[1].enabled) << "nothing to restore";
  EXPECT_TRUE(empty[1].children.empty());

  std::vector<SnapshotSummary> stored;
  for (int minute = 10; minute < 22; ++minute) {
    const std::string m = std::to_string(minute);
    const std::string id = "20260301T14" + m + "00.000Z";
    const std::string created = "2026-03-01T14:" + m + ":00.000Z";
    stored.push_back(summary(id.c_str(), created.c_str(), CaptureTrigger::watch, 3, 1));
  }
  stored[11].trigger = CaptureTrigger::manual;
  stored[10].trigger = CaptureTrigger::drill;
  stored[10].tabCount = 0;
  stored[9].appCount = 1;
  std::swap(stored[0], stored[11]);  // the store's order is not the menu's
  const auto menu = statusMenu(stored, TimeZone::utc());
  ASSERT_TRUE(menu[1].enabled);
  const auto& offered = menu[1].children;
  ASSERT_EQ(offered.size(), std::size_t(statusMenuSnapshotLimit));
  EXPECT_EQ(offered[0].label, "2026-03-01 14:21 (taken by hand, 3 apps, 1 tab)");
  EXPECT_EQ(offered[1].label, "2026-03-01 14:20 (drill, 3 apps)");
  EXPECT_EQ(offered[2].label, "2026-03-01 14:19 (watch phase, 1 app, 1 tab)");
  EXPECT_EQ(offered[9].label, "2026-03-01 14:12 (watch phase, 3 apps, 1 tab)");
  EXPECT_EQ(offered[0].request, (StatusRequest{StatusAction::restore, "20260301T142100.000Z"}));
  EXPECT_EQ(offered[9].request, (StatusRequest{StatusAction::restore, "20260301T141200.000Z"}));
}

TEST(StatusMenu, ClicksAskForTheirEntrysActionOnly) {
  const auto menu = statusMenu(
      {summary("20260301T140000.000Z", "2026-03-01T14:00:00.000Z", CaptureTrigger::ready, 1)},
      TimeZone::utc());
  std::set<int> ids;
  std::function<void(const std::vector<StatusMenuEntry>&)> collect =
      [&](const std::vector<StatusMenuEntry>& entries) {
        for (const auto& entry : entries) {
          EXPECT_GT(entry.id, 0);
          EXPECT_TRUE(ids.insert(entry.id).second) << "id " << entry.id << " twice";
          collect(entry.children);
        }
      };
  collect(menu);

  const auto idOf = [&](const std::vector<StatusMenuEntry>& entries, const std::string& label) {
    for (const auto& entry : entries) {
      if (entry.label == label) return entry.id;
    }
    return -1;
  };
  const struct {
    int id;
    std::optional<StatusRequest> request;
  } cases[] = {
      {idOf(menu, "Take a snapshot now"), StatusRequest{StatusAction::captureNow}},
      {idOf(menu, "Run a drill"), StatusRequest{StatusAction::runDrill}},
      {idOf(menu, "Open settings"), StatusRequest{StatusAction::openSettings}},
      {idOf(menu, "Quit"), StatusRequest{StatusAction::quit}},
      {menu[1].children[0].id, StatusRequest{StatusAction::restore, "20260301T140000.000Z"}},
      {idOf(menu, "Restore…"), std::nullopt},  // a submenu opens, it asks for nothing
      {idOf(menu, ""), std::nullopt},          // the separator
      {0, std::nullopt},                       // the root
      {9999, std::nullopt},
      {-3, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(statusRequest(menu, c.id), c.request) << "id " << c.id;

  // A disabled entry asks for nothing, even when a host sends its click.
  auto disabled = menu;
  disabled[0].enabled = false;
  EXPECT_EQ(statusRequest(disabled, disabled[0].id), std::nullopt);
}

}  // namespace
}  // namespace brimwell
