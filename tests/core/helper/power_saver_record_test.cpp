#include "brimwell/core/helper/power_saver_record.h"

#include <gtest/gtest.h>

#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

TEST(PowerSaverRecordTest, EmptinessLooksAtAllFourFields) {
  EXPECT_TRUE(PowerSaverRecord::none().isEmpty());
  EXPECT_FALSE((PowerSaverRecord{.previousHibernateMode = 3}).isEmpty());
  EXPECT_FALSE((PowerSaverRecord{.turnedOnLowPowerMode = true}).isEmpty());
  EXPECT_FALSE((PowerSaverRecord{.dimmedTo = 0.4}).isEmpty());
}

TEST(PowerSaverRecordTest, CodingWritesOnlyPresentKeysAndRequiresTheFlag) {
  EXPECT_EQ(*BrimwellJSON::encode(PowerSaverRecord::none()), R"({"turnedOnLowPowerMode":false})");
  const PowerSaverRecord full{true, 0.8, 0.4, 3};
  EXPECT_EQ(
      *BrimwellJSON::encode(full),
      R"({"dimmedTo":0.4,"previousBrightness":0.8,"previousHibernateMode":3,"turnedOnLowPowerMode":true})");

  const struct {
    const char* text;
    std::optional<PowerSaverRecord> expected;
  } cases[] = {
      {R"({"turnedOnLowPowerMode":false})", PowerSaverRecord::none()},
      {R"({"turnedOnLowPowerMode":true,"dimmedTo":null,"previousHibernateMode":25})",
       PowerSaverRecord{.turnedOnLowPowerMode = true, .previousHibernateMode = 25}},
      {R"({"dimmedTo":0.4})", std::nullopt},
      {R"({"turnedOnLowPowerMode":"yes"})", std::nullopt},
      {R"({"turnedOnLowPowerMode":false,"previousHibernateMode":3.5})", std::nullopt},
  };
  for (const auto& c : cases) {
    auto decoded = BrimwellJSON::decode<PowerSaverRecord>(std::string_view(c.text));
    EXPECT_EQ(decoded ? std::optional(*decoded) : std::nullopt, c.expected) << c.text;
  }
}

TEST(PowerSaverRecordTest, LoadTreatsAMissingOrDamagedFileAsNoRecord) {
  testing::TempDir dir;
  const auto path = dir / "power-saver.json";
  EXPECT_EQ(PowerSaverRecord::load(path), std::nullopt);
  testing::writeFile(path, "{\"turnedOnLowPowerMode\":");
  EXPECT_EQ(PowerSaverRecord::load(path), std::nullopt);
  const PowerSaverRecord record{true, std::nullopt, std::nullopt, 3};
  ASSERT_TRUE(AtomicFile::write(*BrimwellJSON::encode(record), path));
  EXPECT_EQ(PowerSaverRecord::load(path), record);
}

}  // namespace
}  // namespace brimwell
