#include "brimwell/core/snapshots/snapshot_id.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>

#include "brimwell/core/snapshots/snapshot_summary.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "tests/core/snapshots/snapshot_samples.h"

namespace brimwell {
namespace {

using namespace std::chrono;

TEST(SnapshotIDTest, MakeWritesTheUTCInstantWithMilliseconds) {
  EXPECT_EQ(SnapshotID::make(testing::sampleInstant()), "20260301T140509.250Z");
  EXPECT_EQ(SnapshotID::make(Date{}), "19700101T000000.000Z");
  EXPECT_EQ(SnapshotID::make(testing::sampleInstant() + microseconds(999)), "20260301T140509.250Z");
}

TEST(SnapshotIDTest, ReadingIsStrict) {
  const struct {
    const char* text;
    bool valid;
  } cases[] = {
      {"20260301T140509.250Z", true},
      {"20240229T235959.999Z", true},  // a leap day
      {"20260301T140509.25Z", false},  // 19 characters
      {"20260301t140509.250Z", false},
      {"20260301T140509.250z", false},
      {"20260301T140509,250Z", false},
      {"20260230T000000.000Z", false},  // no 30 February
      {"20250229T000000.000Z", false},  // not a leap year
      {"20261301T000000.000Z", false},
      {"20260300T000000.000Z", false},
      {"20260301T240000.000Z", false},
      {"20260301T236000.000Z", false},
      {"20260301T235960.000Z", false},
      {"2026030lT140509.250Z", false},
      {"20260301T14050\xD9\xA1.250Z", false},  // a non-ASCII digit
      {"20260301T140509.250Z-1", false},
      {" 20260301T140509.250Z", false},
      {"", false},
      {"latest", false},
      // Only the instants a Date holds; others once overflowed its nanosecond count.
      {"16770921T001243.146Z", true},
      {"16770921T001243.145Z", false},
      {"22620411T234716.854Z", true},
      {"22620411T234716.855Z", false},
      {"10130107T141405.250Z", false},
      {"99991231T235959.999Z", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SnapshotID::isValid(c.text), c.valid) << c.text;
    EXPECT_EQ(SnapshotID::date(c.text).has_value(), c.valid) << c.text;
  }
  EXPECT_EQ(SnapshotID::date("20260301T140509.250Z"), testing::sampleInstant());
}

TEST(SnapshotIDTest, TextOrderIsTimeOrderAcrossTheYear) {
  const Date newYear = sys_days(year(2026) / 1 / 1);
  const Date times[] = {newYear - milliseconds(1), newYear, newYear + milliseconds(1),
                        newYear + hours(30), sys_days(year(2100) / 2 / 28) + hours(23)};
  for (std::size_t i = 0; i + 1 < std::size(times); ++i) {
    EXPECT_LT(SnapshotID::make(times[i]), SnapshotID::make(times[i + 1]));
    EXPECT_EQ(SnapshotID::date(SnapshotID::make(times[i])), times[i]);
  }
}

// The counts themselves are pinned by the snapshot and probe tests; this pins the JSON form.
TEST(SnapshotSummaryTest, RoundTripsAsJSON) {
  const SnapshotSummary summary(testing::richSnapshot());
  const std::string text = *BrimwellJSON::encode(summary);
  EXPECT_EQ(text,
            R"({"appCount":2,"createdAt":"2026-03-01T14:05:09.250Z","documentCount":2,)"
            R"("id":"20260301T140509.250Z","rescuedCount":1,"tabCount":5,"trigger":"watch"})");
  EXPECT_EQ(*BrimwellJSON::decode<SnapshotSummary>(text), summary);
  EXPECT_FALSE(BrimwellJSON::decode<SnapshotSummary>(R"({"id":"x"})"));
}

}  // namespace
}  // namespace brimwell
