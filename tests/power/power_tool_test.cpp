#include "power/power_tool.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>

#include "helper/pmset_parser.h"
#include "linux/sd_bus_ptr.h"
#include "power/power_settings.h"
#include "tests/power/power_tool_bench.h"
#include "tests/support/private_bus.h"

namespace brimwell {
namespace {

using testing::loggedCalls;
using testing::PowerToolBench;
using testing::PrivateBus;
using testing::readText;
using testing::ToolRun;
using testing::writeText;

// A state file holding these per-source settings, written as the tool writes it.
std::string stateText(int batteryMode, int acMode, bool batteryLow = false, bool acLow = false) {
  const auto source = [](int mode, bool low) {
    return "{\"hibernatemode\":" + std::to_string(mode) +
           ",\"lowpowermode\":" + (low ? "true" : "false") + "}";
  };
  return "{\"ac\":" + source(acMode, acLow) + ",\"battery\":" + source(batteryMode, batteryLow) +
         "}";
}

// The Currently in use entry `key`, as the daemon's parser reads it.
std::optional<std::string> inUse(const ToolRun& run, const std::string& key) {
  auto sections = PmsetParser::sections(run.out);
  auto section = sections["Currently in use"];
  if (!section.contains(key)) return std::nullopt;
  return section[key];
}

TEST(PowerToolTest, SleepNowUsesTheLogindActionOfTheHibernateModeOfTheSourceInUse) {
  PrivateBus bus;
  PowerToolBench bench;
  const auto log = bench.sysfs().parent_path() / "logind.log";
  bus.startMock("logind", "org.freedesktop.login1", "{}", log.string());
  struct Row {
    bool onBattery;
    int batteryMode, acMode;
    const char* method;
    bool adapterListed = true;  // without one, the battery's status tells
  };
  for (const Row& row :
       {Row{true, 25, 0, "Hibernate"}, Row{true, 3, 25, "HybridSleep"}, Row{true, 0, 25, "Suspend"},
        Row{false, 0, 25, "Hibernate"}, Row{false, 25, 3, "HybridSleep"},
        Row{false, 25, 0, "Suspend"}, Row{true, 25, 0, "Hibernate", false},
        Row{false, 25, 0, "Suspend", false}}) {
    SCOPED_TRACE(row.method + std::string(row.onBattery ? " on battery" : " on AC"));
    bench.setOnBattery(row.onBattery);
    if (!row.adapterListed) {
      std::filesystem::remove_all(bench.sysfs() / "class" / "power_supply" / "AC");
    }
    writeText(bench.statePath(), stateText(row.batteryMode == 0 ? 3 : 0, row.acMode));
    const ToolRun set = bench.run({"-b", "hibernatemode", std::to_string(row.batteryMode)});
    EXPECT_EQ(set.status, 0);
    EXPECT_EQ(set.out + set.err, "");
    const ToolRun custom = bench.run({"-g", "custom"});
    EXPECT_EQ(PmsetParser::batteryHibernateMode(custom.out), row.batteryMode);
    EXPECT_EQ(PmsetParser::sections(custom.out)["AC Power"]["hibernatemode"],
              std::to_string(row.acMode));
    const ToolRun settings = bench.run({"-g"});
    EXPECT_EQ(inUse(settings, "hibernatemode"),
              std::to_string(row.onBattery ? row.batteryMode : row.acMode));
    EXPECT_EQ(inUse(settings, "SleepDisabled"), "0");

    const std::size_t before = readText(log).size();
    const ToolRun slept = bench.run({"sleepnow"});
    EXPECT_EQ(slept.status, 0) << slept.err;
    const auto calls = loggedCalls(log, before);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back(), row.method);  // after its Can question
    EXPECT_EQ(std::count(calls.begin(), calls.end(), std::string(row.method)), 1);
  }
}

TEST(PowerToolTest, ImpossibleSleepIsReportedByTheSettingsAndRefusedBySleepNow) {
  PrivateBus bus;
  PowerToolBench bench;
  const auto log = bench.sysfs().parent_path() / "logind.log";
  bus.startMock("logind", "org.freedesktop.login1",
                R"({"CanHibernate":"na","CanHybridSleep":"no","CanSuspend":"challenge"})",
                log.string());
  struct Row {
    int mode;
    const char* disabled;
    const char* refusal;  // empty: the sleep is asked for
  };
  for (const Row& row :
       {Row{25, "1",
            "The login manager says this machine can't hibernate (CanHibernate answers "
            "na).\n"},
        Row{3, "1",
            "The login manager says this machine can't hybrid-sleep (CanHybridSleep "
            "answers no).\n"},
        Row{0, "0", ""}}) {
    SCOPED_TRACE(row.mode);
    writeText(bench.statePath(), stateText(row.mode, 0));
    EXPECT_EQ(inUse(bench.run({"-g"}), "SleepDisabled"), row.disabled);
    const std::size_t before = readText(log).size();
    const ToolRun slept = bench.run({"sleepnow"});
    EXPECT_EQ(slept.err, row.refusal);
    EXPECT_EQ(slept.status, *row.refusal ? 1 : 0);
    const auto calls = loggedCalls(log, before);
    EXPECT_EQ(calls.size(), *row.refusal ? 1u : 2u);  // the Can question, then Suspend
  }
}

TEST(PowerToolTest, WithoutTheLoginManagerSleepIsDisabledAndSleepNowSaysWhy) {
  PowerToolBench bench;
  {
    PrivateBus bus;  // a bus without the login manager
    EXPECT_EQ(inUse(bench.run({"-g"}), "SleepDisabled"), "1");
    const ToolRun slept = bench.run({"sleepnow"});
    EXPECT_EQ(slept.status, 1);
    EXPECT_TRUE(slept.err.starts_with("The login manager couldn't be asked CanSuspend ("))
        << slept.err;
    EXPECT_TRUE(slept.err.ends_with(").\n"));
    EXPECT_EQ(std::count(slept.err.begin(), slept.err.end(), '\n'), 1);
  }
  // No bus at all.
  ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
  EXPECT_EQ(inUse(bench.run({"-g"}), "SleepDisabled"), "1");
  const ToolRun slept = bench.run({"sleepnow"});
  ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  EXPECT_EQ(slept.status, 1);
  EXPECT_EQ(slept.err, "The system bus can't be reached (No such file or directory).\n");
}

TEST(PowerToolTest, LowPowerModeIsThePowerSaverProfileOfTheSourceInUse) {
  PrivateBus bus;
  PowerToolBench bench;
  bus.startMock("power_profiles_daemon", "net.hadess.PowerProfiles", "{}",
                (bench.sysfs().parent_path() / "profiles.log").string());
  bench.setPlatformProfile("balanced", "low-power balanced performance");  // not used
  SdBus peer(bus.connect());
  struct Step {
    bool onBattery;
    std::vector<std::string> arguments;
    const char* profile;
    bool inForce, battery, ac;
  };
  const Step steps[] = {
      {true, {"-b", "lowpowermode", "1"}, "power-saver", true, true, false},
      {false, {"-g"}, "power-saver", true, true, false},  // plugging in changes nothing by itself
      {false, {"-a", "lowpowermode", "0"}, "balanced", false, false, false},
      {false, {"-b", "lowpowermode", "1"}, "balanced", false, true, false},  // AC's value decides
      {false, {"-a", "lowpowermode", "1"}, "power-saver", true, true, true},
      {false, {"-b", "lowpowermode", "0"}, "power-saver", true, false, true},
      {true, {"-b", "lowpowermode", "0"}, "balanced", false, false, true},
      {true, {"-a", "lowpowermode", "1"}, "power-saver", true, true, true},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.arguments[0] + " " + step.arguments.back() +
                 (step.onBattery ? " on battery" : " on AC"));
    bench.setOnBattery(step.onBattery);
    const ToolRun run = bench.run(step.arguments);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(testing::activeProfile(peer.get()), step.profile);
    EXPECT_EQ(PmsetParser::lowPowerMode(bench.run({"-g"}).out), step.inForce);
    const std::string custom = bench.run({"-g", "custom"}).out;
    EXPECT_EQ(PmsetParser::batteryLowPowerMode(custom), step.battery);
    EXPECT_EQ(PmsetParser::sections(custom)["AC Power"]["lowpowermode"], step.ac ? "1" : "0");
  }
  // A profile other than power-saver is left alone when Low Power Mode is to be off.
  sd_bus_set_property(peer.get(), "net.hadess.PowerProfiles", "/net/hadess/PowerProfiles",
                      "net.hadess.PowerProfiles", "ActiveProfile", nullptr, "s", "performance");
  EXPECT_EQ(bench.run({"-a", "lowpowermode", "0"}).status, 0);
  EXPECT_EQ(testing::activeProfile(peer.get()), "performance");
  EXPECT_EQ(readText(bench.platformProfileFile()), "balanced\n");

  // A service that answers with nonsense: changes fail in one sentence, and -g custom still
  // reports the hibernate modes, without Low Power Mode.
  sd_bus_set_property(peer.get(), "net.hadess.PowerProfiles", "/net/hadess/PowerProfiles",
                      "net.hadess.PowerProfiles", "ActiveProfile", nullptr, "i", 7);
  const ToolRun set = bench.run({"-b", "lowpowermode", "1"});
  EXPECT_EQ(set.status, 1);
  EXPECT_EQ(set.err, "The power profiles service couldn't be read (No such device or address).\n");
  const std::string custom = bench.run({"-g", "custom"}).out;
  EXPECT_EQ(PmsetParser::batteryHibernateMode(custom), 0);
  EXPECT_EQ(PmsetParser::batteryLowPowerMode(custom), std::nullopt);
}

TEST(PowerToolTest, WithoutThePowerProfilesServiceThePlatformProfileServesElseTheKeysAreAbsent) {
  PowerToolBench bench;
  const char* noProfiles =
      "This machine has no power profiles, so Low Power Mode can't be changed.\n";
  for (bool withBus : {true, false}) {
    SCOPED_TRACE(withBus ? "a bus without the service" : "no bus");
    std::optional<PrivateBus> bus;
    if (withBus) {
      bus.emplace();
    } else {
      ::setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    }
    bench.setPlatformProfile("balanced", "low-power balanced performance");
    EXPECT_EQ(bench.run({"-b", "lowpowermode", "1"}).status, 0);
    EXPECT_EQ(readText(bench.platformProfileFile()), "low-power\n");
    EXPECT_EQ(PmsetParser::lowPowerMode(bench.run({"-g"}).out), true);
    EXPECT_EQ(bench.run({"-a", "lowpowermode", "0"}).status, 0);
    EXPECT_EQ(readText(bench.platformProfileFile()), "balanced\n");
    EXPECT_EQ(PmsetParser::lowPowerMode(bench.run({"-g"}).out), false);

    // Choices without low-power, and no profile at all: no Low Power Mode to report or change.
    for (bool fileThere : {true, false}) {
      if (fileThere) {
        bench.setPlatformProfile("balanced", "cool balanced performance");
      } else {
        std::filesystem::remove_all(bench.sysfs() / "firmware");
      }
      const ToolRun settings = bench.run({"-g"});
      EXPECT_EQ(settings.status, 0);
      EXPECT_EQ(PmsetParser::lowPowerMode(settings.out), std::nullopt);
      EXPECT_TRUE(inUse(settings, "hibernatemode").has_value());
      const ToolRun custom = bench.run({"-g", "custom"});
      EXPECT_EQ(PmsetParser::batteryLowPowerMode(custom.out), std::nullopt);
      EXPECT_EQ(PmsetParser::batteryHibernateMode(custom.out), 0);
      const ToolRun set = bench.run({"-b", "lowpowermode", "1"});
      EXPECT_EQ(set.status, 1);
      EXPECT_EQ(set.err, noProfiles);
    }
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  }
}

TEST(PowerToolTest, ACorruptStateFileReadsAsTheDefaultsAndIsReplacedByTheNextChange) {
  PrivateBus bus;
  PowerToolBench bench;
  for (
      const char* corrupt :
      {"not json", "[]", R"({"battery":{"hibernatemode":3,"lowpowermode":false}})",
       R"({"ac":{"hibernatemode":0,"lowpowermode":false},"battery":{"hibernatemode":7,"lowpowermode":false}})",
       R"({"ac":{"hibernatemode":0,"lowpowermode":0},"battery":{"hibernatemode":3,"lowpowermode":false}})"}) {
    SCOPED_TRACE(corrupt);
    writeText(bench.statePath(), corrupt);
    const ToolRun custom = bench.run({"-g", "custom"});
    EXPECT_EQ(custom.status, 0);
    EXPECT_EQ(custom.out,
              "Battery Power:\n hibernatemode       0\n"
              "AC Power:\n hibernatemode       0\n");
    EXPECT_EQ(readText(bench.statePath()), corrupt);  // reading changes nothing
    EXPECT_EQ(bench.run({"-b", "hibernatemode", "25"}).status, 0);
    EXPECT_EQ(decodePowerSettings(readText(bench.statePath())),
              (PowerSettings{.battery = {25, false}, .ac = {0, false}}));
  }
}

TEST(PowerToolTest, AStateDirectoryThatCantBeWrittenFailsInOneSentenceAndKeepsTheFile) {
  PrivateBus bus;
  PowerToolBench bench;
  writeText(bench.statePath(), stateText(3, 0));
  const auto directory = bench.statePath().parent_path();
  ::chmod(directory.c_str(), 0555);
  const ToolRun run = bench.run({"-b", "hibernatemode", "25"}, /*withoutFileOverride=*/true);
  ::chmod(directory.c_str(), 0755);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "The power settings could not be saved in " + bench.statePath().string() +
                         " (Permission denied).\n");
  EXPECT_EQ(readText(bench.statePath()), stateText(3, 0));
  // No temporary file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory), {}), 1);
}

TEST(PowerToolTest, AnyOtherCommandLineIsRefusedInOneSentenceAndChangesNothing) {
  PowerToolBench bench;
  const std::string usage =
      "This tool answers only -g, -g custom, sleepnow, -a or -b lowpowermode 0 or 1, and "
      "-b hibernatemode 0, 3 or 25.\n";
  const std::pair<std::vector<std::string>, std::string> rows[] = {
      {{}, usage},
      {{"-g", "custom", "extra"}, usage},
      {{"-a", "hibernatemode", "25"}, usage},
      {{"-c", "lowpowermode", "1"}, usage},
      {{"sleepnow", "now"}, usage},
      {{"-G"}, usage},
      {{"-b", "hibernatemode", "7"}, "The hibernate mode is 0, 3 or 25, not 7.\n"},
      {{"-b", "hibernatemode", "03"}, "The hibernate mode is 0, 3 or 25, not 03.\n"},
      {{"-a", "lowpowermode", "+1"}, "Low Power Mode is 0 or 1, not +1.\n"},
      {{"-b", "lowpowermode", "on"}, "Low Power Mode is 0 or 1, not on.\n"},
  };
  for (const auto& [arguments, sentence] : rows) {
    const ToolRun run = bench.run(arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, sentence);
    EXPECT_EQ(run.out, "");
  }
  EXPECT_FALSE(std::filesystem::exists(bench.statePath()));
}

}  // namespace
}  // namespace brimwell
