#include "brimwell/core/storage/brimwell_paths.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

TEST(BrimwellPathsTest, StandardPlacesEveryStateFileInTheSupportDirectory) {
  const auto paths = BrimwellPaths::standard("/Users/ann");
  EXPECT_EQ(paths.support, "/Users/ann/Library/Application Support/Brimwell");
  EXPECT_EQ(paths.rescueRoot, "/Users/ann/Documents/Brimwell Rescued");
  EXPECT_EQ(paths.journal(), "/Users/ann/Library/Application Support/Brimwell/journal.json");
  EXPECT_EQ(paths.rescueLedger(), paths.support / "rescue-ledger.json");
  EXPECT_EQ(paths.powerSaverRecord(), paths.support / "power-saver.json");
  EXPECT_EQ(paths.snapshots(), paths.support / "Snapshots");
}

TEST(BrimwellPathsTest, RescueFolderIsNamedByTheLocalMinute) {
  const auto paths = BrimwellPaths::standard("/Users/ann");
  const struct {
    const char* utc;
    const char* zone;
    const char* folder;
  } cases[] = {
      {"2026-03-01T14:05:59Z", "Etc/UTC", "2026-03-01 1405"},
      {"2026-03-01T13:05:59Z", "Europe/Berlin", "2026-03-01 1405"},  // UTC+1 in winter
      {"2026-07-01T12:05:00Z", "Europe/Berlin", "2026-07-01 1405"},  // UTC+2 in summer
      {"2026-03-01T22:30:00Z", "Asia/Kolkata", "2026-03-02 0400"},   // half-hour offset, next day
      {"2026-03-01T03:00:00Z", "America/Los_Angeles", "2026-02-28 1900"},
      {"1969-12-31T23:59:59.750Z", "Etc/UTC", "1969-12-31 2359"},
  };
  for (const auto& c : cases) {
    const auto zone = TimeZone::named(c.zone);
    ASSERT_TRUE(zone) << c.zone;
    EXPECT_EQ(paths.rescueFolder(*BrimwellJSON::parse(c.utc), *zone), paths.rescueRoot / c.folder)
        << c.utc << " " << c.zone;
  }
}

TEST(BrimwellPathsTest, ResolveUsesThePasswordDatabaseNotTheEnvironment) {
  passwd* entry = ::getpwuid(::getuid());
  ASSERT_NE(entry, nullptr);
  auto paths = BrimwellPaths::resolve({{"HOME", "/somewhere/else"}, {"XDG_DATA_HOME", "/x"}});
  ASSERT_TRUE(paths);
  EXPECT_EQ(*paths, BrimwellPaths::standard(entry->pw_dir));
}

TEST(TimeZoneTest, UnknownNamesAreRejected) {
  EXPECT_FALSE(TimeZone::named("Mars/Olympus_Mons"));
  EXPECT_FALSE(TimeZone::named(""));
  EXPECT_EQ(TimeZone::named("Europe/Berlin")->name(), "Europe/Berlin");
}

}  // namespace
}  // namespace brimwell
