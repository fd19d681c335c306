#include "linux/settings_file.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "brimwell/core/storage/read_file.h"
#include "tests/support/temp_dir.h"

namespace brimwell {
namespace {

BrimwellSettings withDimTarget(double target) {
  BrimwellSettings settings = BrimwellSettings::defaults();
  settings.dimTarget = target;
  return settings;
}

TEST(SettingsFileTest, NamesWhatIsWrongAndKeepsWhatCanBeUsed) {
  struct Case {
    const char* text;
    BrimwellSettings settings;
    std::optional<std::string> problem;
  };
  const std::string file = "/home/ann/.config/brimwell/settings.json";
  const Case cases[] = {
      {R"({"dimTarget":0.25,"unknown":1})", withDimTarget(0.25), std::nullopt},
      {R"({"dimTarget":0.25,)", BrimwellSettings::defaults(),
       "The settings file " + file +
           " can't be used (the data isn't valid JSON (at byte 19)), so the defaults are in "
           "force."},
      {"[1,2]", BrimwellSettings::defaults(),
       "The settings file " + file +
           " can't be used (it holds an array, not a JSON object), so the defaults are in force."},
      {R"({"dimTarget":0.25,"thresholds":{"ready":20},"alertSound":7,"captureClipboard":null})",
       withDimTarget(0.25),
       "The settings file " + file +
           " has unusable values for thresholds, captureClipboard and alertSound, so those are at "
           "their defaults."},
      {R"({"thresholds":{"ready":5,"brimwell":10,"landingPercent":3,"landingMinutes":4,)"
       R"("hysteresis":3}})",
       [] {
         BrimwellSettings settings = BrimwellSettings::defaults();
         settings.thresholds.ready = 5;
         return settings;
       }(),
       "The settings file " + file +
           " has thresholds out of range or out of order, so the default thresholds are used."},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.text);
    const SettingsFileReading reading = judgeSettingsText(file, test.text);
    EXPECT_EQ(reading.settings, test.settings);
    EXPECT_EQ(reading.problem, test.problem);
  }
}

TEST(SettingsFileTest, AMissingFileMeansTheDefaultsAndADirectoryIsUnusable) {
  testing::TempDir dir;
  EXPECT_EQ(readSettingsFile(dir / "settings.json"),
            (SettingsFileReading{BrimwellSettings::defaults(), false, std::nullopt}));
  std::filesystem::create_directory(dir / "settings.json");
  const SettingsFileReading reading = readSettingsFile(dir / "settings.json");
  EXPECT_TRUE(reading.exists);
  EXPECT_EQ(reading.problem, "The settings file " + (dir / "settings.json").string() +
                                 " can't be used (it is a directory), so the defaults are in "
                                 "force.");
}

// A settings file that isn't an ordinary small file is refused at once, without reading it: a FIFO
// without a writer used to stall the reader, and a huge file to exhaust its memory.
TEST(SettingsFileTest, FilesThatArentOrdinaryAreRefusedInOneSentence) {
  testing::TempDir dir;
  const auto fifo = dir / "fifo.json", device = dir / "device.json", huge = dir / "huge.json";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", device);
  testing::writeFile(huge, "{}");
  std::filesystem::resize_file(huge, std::uintmax_t{3} << 30);  // sparse: no disk is used
  const auto sentence = [](const std::filesystem::path& file, const std::string& why) {
    return "The settings file " + file.string() + " can't be used (" + why +
           "), so the defaults are in force.";
  };
  EXPECT_EQ(readSettingsFile(fifo).problem, sentence(fifo, "it isn't a regular file"));
  EXPECT_EQ(readSettingsFile(device).problem, sentence(device, "it isn't a regular file"));
  EXPECT_EQ(readSettingsFile(huge).problem, sentence(huge, "it holds more than 1 MiB"));
  // Up to the limit a file is read as usual.
  testing::writeFile(huge, R"({"dimTarget":0.25})" + std::string(kSmallFileLimit - 18, ' '));
  EXPECT_EQ(readSettingsFile(huge), (SettingsFileReading{withDimTarget(0.25), true, std::nullopt}));
}

}  // namespace
}  // namespace brimwell
