#include "cli/settings_command.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/brimwell_settings.h"
#include "tests/cli/run_tool.h"
#include "tests/support/scoped_environment.h"

namespace brimwell {
namespace {

TEST(SettingsCommandTest, CheckTellsAUsableFileFromOneThatIsNot) {
  struct Case {
    const char* text;  // nullptr: no file at all
    int status;
    std::string message;  // on standard output for status 0, on standard error otherwise
  };
  testing::TempDir dir;
  const std::string file = (dir / "settings.json").string();
  const Case cases[] = {
      {R"({"dimTarget":0.5})", 0, "The settings file " + file + " is valid.\n"},
      {R"({"dimTarget":"dim"})", 1,
       "The settings file " + file +
           " has unusable values for dimTarget, so those are at their "
           "defaults.\n"},
      {"not json", 1,
       "The settings file " + file +
           " can't be used (the data isn't valid JSON (at byte 2)), so the defaults are in "
           "force.\n"},
      {nullptr, 1, "There is no settings file " + file + ".\n"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.text ? test.text : "no file");
    std::filesystem::remove(file);
    if (test.text) std::ofstream(file) << test.text;
    const auto run = testing::runTool({"settings", "--check", file});
    EXPECT_EQ(run.status, test.status);
    EXPECT_EQ(test.status == 0 ? run.out : run.err, test.message);
    if (test.text) {
      EXPECT_EQ(testing::readFile(file), test.text);  // never rewritten
    }
  }
}

// Without options the tool reads the file under $XDG_CONFIG_HOME and prints what is in force: the
// file's usable fields, the defaults for the rest, and the sentence naming the others.
TEST(SettingsCommandTest, PrintsTheSettingsInForceFromTheConfigurationDirectory) {
  testing::TempDir config;
  std::filesystem::create_directories(config / "brimwell");
  std::ofstream(config / "brimwell/settings.json") << R"({"safeLandingEnabled":true,"cadence":3})";
  const auto run = [&] {
    testing::ScopedEnvironment environment;
    environment.set("XDG_CONFIG_HOME", config.path().string());
    return testing::runTool({"settings"});
  }();

  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "The settings file " + (config / "brimwell/settings.json").string() +
                         " has unusable values for cadence, so those are at their defaults.\n");
  BrimwellSettings expected = BrimwellSettings::defaults();
  expected.safeLandingEnabled = true;
  auto printed = BrimwellJSON::parseTree(run.out);
  ASSERT_TRUE(printed) << run.out;
  EXPECT_EQ(BrimwellJSON::decodeTree<BrimwellSettings>(*printed),
            Result<BrimwellSettings>(expected));
}

}  // namespace
}  // namespace brimwell
