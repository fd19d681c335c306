#include "helper/helper_service.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "helper/process_command_runner.h"
#include "tests/helper/fake_pmset.h"

namespace brimwell {
namespace {

namespace fs = std::filesystem;
using Message = HelperService::Message;

// Runs the fake tool for real, notes each command line, and answers chosen lines itself.
class RecordingRunner : public CommandRunner {
 public:
  std::vector<std::string> lines;
  std::map<std::string, Expected<CommandOutput, CommandRunnerError>> answers;

  Expected<CommandOutput, CommandRunnerError> run(const std::string& executable,
                                                  const std::vector<std::string>& arguments,
                                                  double timeout, double stopGrace) override {
    std::string line = fs::path(executable).filename().string();
    for (const auto& each : arguments) line += " " + each;
    lines.push_back(line);
    if (auto answer = answers.find(line); answer != answers.end()) return answer->second;
    return ProcessCommandRunner().run(executable, arguments, timeout, stopGrace);
  }
};

class HelperServiceTest : public ::testing::Test {
 protected:
  FakePmset pmset;
  testing::TempDir records;
  std::string recordPath = (records / "Brimwell/helper-state.json").string();
  std::shared_ptr<RecordingRunner> runner = std::make_shared<RecordingRunner>();
  std::shared_ptr<HelperRecordStore> store =
      std::make_shared<HelperRecordStore>(recordPath, ::geteuid());
  HelperService service{runner, store, 2, pmset.path()};

  Message call(void (HelperService::*operation)(const HelperService::Reply&)) {
    Message result = "no reply";
    (service.*operation)([&](Message m) { result = m; });
    return result;
  }
  Message setHibernate(std::int64_t mode) {
    Message result = "no reply";
    service.setBatteryHibernateMode(mode, [&](Message m) { result = m; });
    return result;
  }
  std::pair<bool, Message> beginLowPower() {
    std::pair<bool, Message> result{false, "no reply"};
    service.beginLowPowerMode([&](bool on, Message m) { result = {on, m}; });
    return result;
  }
  std::string hibernate() { return pmset.state()["battery_hibernatemode"]; }
  std::string batteryLowPower() { return pmset.state()["battery_lowpowermode"]; }
};

TEST_F(HelperServiceTest, SafeLandingRoundTripRecordsThreeAndDeletesTheRecordAtTheEnd) {
  EXPECT_EQ(call(&HelperService::beginSafeLanding), std::nullopt);
  EXPECT_EQ(hibernate(), "25");
  EXPECT_EQ(store->load(), (HelperRecord{3, std::nullopt}));
  EXPECT_EQ(runner->lines, (std::vector<std::string>{"pmset -g custom", "pmset -b hibernatemode 25",
                                                     "pmset -g custom"}));
  runner->lines.clear();
  EXPECT_EQ(setHibernate(25), std::nullopt);  // already in place: one read, record unchanged
  EXPECT_EQ(runner->lines, std::vector<std::string>{"pmset -g custom"});
  EXPECT_EQ(store->load(), (HelperRecord{3, std::nullopt}));

  EXPECT_EQ(call(&HelperService::endSafeLanding), std::nullopt);
  EXPECT_EQ(hibernate(), "3");
  EXPECT_FALSE(fs::exists(recordPath));
  runner->lines.clear();
  EXPECT_EQ(setHibernate(3), std::nullopt);  // nothing recorded: nothing runs
  EXPECT_TRUE(runner->lines.empty());
}

TEST_F(HelperServiceTest, HibernateModesOutsideTheKnownOnesAreRefusedAndLeftAlone) {
  EXPECT_EQ(setHibernate(7), "Refused: hibernate mode 7 is not 0, 3 or 25");
  EXPECT_EQ(setHibernate(-1), "Refused: hibernate mode -1 is not 0, 3 or 25");
  EXPECT_TRUE(runner->lines.empty());
  pmset.setState("battery_hibernatemode=1");
  EXPECT_EQ(call(&HelperService::beginSafeLanding),
            "Refused: the battery hibernate mode is 1, which Brimwell leaves alone");
  EXPECT_EQ(hibernate(), "1");
  EXPECT_FALSE(fs::exists(recordPath));
}

TEST_F(HelperServiceTest, FailedChangesKeepTheRecordForALaterEnd) {
  pmset.control("refuse=hibernatemode");
  EXPECT_EQ(call(&HelperService::beginSafeLanding),
            "The battery hibernate mode did not change (pmset reports 3)");
  EXPECT_EQ(store->load(), (HelperRecord{3, std::nullopt}));

  pmset.control("");
  pmset.setState("battery_hibernatemode=25");
  ASSERT_TRUE(store->save({0, std::nullopt}));
  pmset.control("refuse=hibernatemode");
  EXPECT_EQ(call(&HelperService::endSafeLanding),
            "The battery hibernate mode did not go back to 0 (pmset reports 25)");
  EXPECT_EQ(store->load(), (HelperRecord{0, std::nullopt}));
  pmset.control("");
  EXPECT_EQ(call(&HelperService::endSafeLanding), std::nullopt);
  EXPECT_EQ(hibernate(), "0");
  EXPECT_EQ(store->load(), HelperRecord{});
}

TEST_F(HelperServiceTest, NothingChangesWhenTheRecordCannotBeWritten) {
  HelperService unrecorded(runner,
                           std::make_shared<HelperRecordStore>(
                               (records / "missing/dir/state.json").string(), ::geteuid()),
                           2, pmset.path());
  const std::string mkdirFailed = "(couldNotWrite(\"mkdir: " + std::to_string(ENOENT) + "\"))";
  Message safeLanding = "no reply";
  unrecorded.beginSafeLanding([&](Message m) { safeLanding = m; });
  EXPECT_EQ(safeLanding,
            "The helper couldn't record the hibernate mode, so it changed nothing " + mkdirFailed);
  std::pair<bool, Message> lowPower{true, "no reply"};
  unrecorded.beginLowPowerMode([&](bool on, Message m) { lowPower = {on, m}; });
  EXPECT_EQ(lowPower, std::make_pair(false, Message("The helper couldn't record Low Power Mode, "
                                                    "so it changed nothing " +
                                                    mkdirFailed)));
  EXPECT_EQ(hibernate(), "3");
  EXPECT_EQ(batteryLowPower(), "0");
}

TEST_F(HelperServiceTest, LowPowerModeBeginsAndEndsOnlyWhatTheHelperTurnedOn) {
  EXPECT_EQ(beginLowPower(), std::make_pair(true, Message()));
  EXPECT_EQ(batteryLowPower(), "1");
  EXPECT_EQ(store->load(), (HelperRecord{std::nullopt, false}));
  // A second begin finds it on and reports it as turned on by the helper.
  EXPECT_EQ(beginLowPower(), std::make_pair(true, Message()));
  EXPECT_EQ(call(&HelperService::endLowPowerMode), std::nullopt);
  EXPECT_EQ(batteryLowPower(), "0");
  EXPECT_FALSE(fs::exists(recordPath));

  // Already on before the helper touched it: not turned on by this call, and end leaves it.
  pmset.setState("battery_lowpowermode=1");
  EXPECT_EQ(beginLowPower(), std::make_pair(false, Message()));
  EXPECT_EQ(call(&HelperService::endLowPowerMode), std::nullopt);
  EXPECT_EQ(batteryLowPower(), "1");

  // The user switched it back off already: one read, no change, the record is cleared.
  pmset.setState("battery_lowpowermode=0");
  ASSERT_TRUE(store->save({25, false}));
  runner->lines.clear();
  EXPECT_EQ(call(&HelperService::endLowPowerMode), std::nullopt);
  EXPECT_EQ(runner->lines, std::vector<std::string>{"pmset -g custom"});
  EXPECT_EQ(store->load(), (HelperRecord{25, std::nullopt}));
}

TEST_F(HelperServiceTest, LowPowerModeChangesThatDoNotTakeAreReported) {
  pmset.control("refuse=lowpowermode");
  EXPECT_EQ(beginLowPower(),
            std::make_pair(false, Message("Low Power Mode did not turn on for battery (pmset "
                                          "still reports it off)")));
  Message set = "no reply";
  service.setLowPowerMode(true, [&](Message m) { set = m; });
  EXPECT_EQ(set, "Low Power Mode did not change (pmset still reports it off)");

  pmset.setState("battery_lowpowermode=1");
  EXPECT_EQ(call(&HelperService::endLowPowerMode),
            "Low Power Mode for battery did not go back (pmset still reports it on)");
  EXPECT_EQ(store->load(), (HelperRecord{std::nullopt, false}));
}

TEST_F(HelperServiceTest, ReadsAnswerWithTheValueOrThePlaceholderAndASentence) {
  pmset.setState("battery_lowpowermode=1\nbattery_hibernatemode=25");
  std::pair<bool, Message> lowPower;
  std::pair<std::int64_t, Message> mode;
  service.lowPowerMode([&](bool on, Message m) { lowPower = {on, m}; });
  service.batteryHibernateMode([&](std::int64_t value, Message m) { mode = {value, m}; });
  EXPECT_EQ(lowPower, std::make_pair(true, Message()));
  EXPECT_EQ(mode, std::make_pair(std::int64_t{25}, Message()));
  std::int64_t version = 0;
  service.helperVersion([&](std::int64_t v) { version = v; });
  EXPECT_EQ(version, 2);

  pmset.control("silent=1");
  service.lowPowerMode([&](bool on, Message m) { lowPower = {on, m}; });
  service.batteryHibernateMode([&](std::int64_t value, Message m) { mode = {value, m}; });
  EXPECT_EQ(lowPower,
            std::make_pair(false, Message("pmset -g does not report Low Power Mode on this Mac")));
  EXPECT_EQ(mode,
            std::make_pair(std::int64_t{-1},
                           Message("pmset -g custom has no battery hibernate mode on this Mac")));
  EXPECT_EQ(beginLowPower().second, "pmset -g custom has no battery Low Power Mode on this Mac");
}

TEST_F(HelperServiceTest, CommandFailuresBecomeSentencesWithTheCommandLine) {
  pmset.control("fail=1; stdout_only=1");
  EXPECT_EQ(call(&HelperService::sleepNow), "pmset sleepnow failed (1): pmset: injected failure");
  pmset.control("fail=3");
  EXPECT_EQ(call(&HelperService::beginSafeLanding),
            "pmset -g custom failed (3): pmset: injected failure");
  pmset.control("");
  runner->answers.emplace("pmset -g custom", CommandOutput{2, " \n", "\t"});
  EXPECT_EQ(call(&HelperService::beginSafeLanding), "pmset -g custom failed (2): no output");
  runner->answers.clear();
  runner->answers.emplace("pmset -b hibernatemode 25", Unexpected(CommandRunnerError::timedOut()));
  EXPECT_EQ(call(&HelperService::beginSafeLanding),
            "pmset -b hibernatemode 25 could not run: timedOut");
  EXPECT_EQ(store->load(), (HelperRecord{3, std::nullopt}));  // recorded before the change

  HelperService missing(runner, store, 2, (records / "pmset").string());
  Message reply;
  missing.sleepNow([&](Message m) { reply = m; });
  EXPECT_EQ(reply, "pmset sleepnow could not run: couldNotLaunch(\"No such file or directory\")");
  EXPECT_EQ(call(&HelperService::sleepNow), std::nullopt);
  EXPECT_EQ(pmset.state()["sleeps"], "1");
}

TEST_F(HelperServiceTest, ConcurrentCallsFromSeparateServicesNeverOverlapTheirRuns) {
  pmset.logRuns(0.01);
  auto plain = std::make_shared<ProcessCommandRunner>();
  std::vector<std::thread> clients;
  for (int i = 0; i < 4; ++i) {
    clients.emplace_back([&, i] {
      HelperService own(plain, store, 2, pmset.path());
      for (int round = 0; round < 3; ++round) {
        if (i % 2 == 0) {
          own.beginSafeLanding([](Message m) { EXPECT_EQ(m, std::nullopt); });
          own.endSafeLanding([](Message m) { EXPECT_EQ(m, std::nullopt); });
        } else {
          own.beginLowPowerMode([](bool, Message m) { EXPECT_EQ(m, std::nullopt); });
          own.endLowPowerMode([](Message m) { EXPECT_EQ(m, std::nullopt); });
        }
      }
    });
  }
  for (auto& client : clients) client.join();
  auto log = pmset.log();
  ASSERT_GE(log.size(), 2u * 4 * 3 * 2);
  for (std::size_t i = 0; i + 1 < log.size(); i += 2) {
    ASSERT_EQ(log[i].rfind("start ", 0), 0u) << i;
    ASSERT_EQ(log[i + 1], "end " + log[i].substr(6, log[i].find(' ', 6) - 6)) << i;
  }
  EXPECT_EQ(hibernate(), "3");
  EXPECT_EQ(batteryLowPower(), "0");
  EXPECT_FALSE(fs::exists(recordPath));
}

}  // namespace
}  // namespace brimwell
