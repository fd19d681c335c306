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
using Outcome = Expected<CommandOutput, CommandRunnerError>;

// Runs the fake tool for real, notes each command line, and answers chosen lines itself.
class RecordingRunner : public CommandRunner {
 public:
  std::vector<std::string> lines;
  std::map<std::string, Outcome> answers;

  Outcome run(const std::string& executable, const std::vector<std::string>& arguments,
              double timeout, double stopGrace) override {
    std::string line = fs::path(executable).filename().string();
    for (const auto& each : arguments) line += " " + each;
    lines.push_back(line);
    if (auto answer = answers.find(line); answer != answers.end()) return answer->second;
    return ProcessCommandRunner().run(executable, arguments, timeout, stopGrace);
  }
};

// What one operation replied: "ok", the sentence, or "value" / "value; sentence"; "no reply"
// when it never replied and "replied twice" when it did so more than once.
struct Said {
  std::string text = "no reply";
  void note(std::string said) { text = text == "no reply" ? said : "replied twice"; }
  HelperService::Reply reply() {
    return [this](Message m) { note(m.value_or("ok")); };
  }
  template <class Value>
  std::function<void(Value, Message)> value() {
    return [this](Value v, Message m) {
      std::string shown = std::is_same_v<Value, bool> ? (v ? "true" : "false") : std::to_string(v);
      note(shown + (m ? "; " + *m : ""));
    };
  }
};

using Operation = std::function<void(HelperService&, Said&)>;
const Operation beginSafe = [](HelperService& s, Said& r) { s.beginSafeLanding(r.reply()); };
const Operation endSafe = [](HelperService& s, Said& r) { s.endSafeLanding(r.reply()); };
const Operation beginLow = [](HelperService& s, Said& r) { s.beginLowPowerMode(r.value<bool>()); };
const Operation endLow = [](HelperService& s, Said& r) { s.endLowPowerMode(r.reply()); };
const Operation readLow = [](HelperService& s, Said& r) { s.lowPowerMode(r.value<bool>()); };
const Operation readMode = [](HelperService& s, Said& r) {
  s.batteryHibernateMode(r.value<std::int64_t>());
};
const Operation sleepNow = [](HelperService& s, Said& r) { s.sleepNow(r.reply()); };
Operation turnLow(bool on) {
  return [on](HelperService& s, Said& r) { s.setLowPowerMode(on, r.reply()); };
}
Operation setMode(std::int64_t mode) {
  return [mode](HelperService& s, Said& r) { s.setBatteryHibernateMode(mode, r.reply()); };
}

class HelperServiceTest : public ::testing::Test {
 protected:
  FakePmset pmset;
  testing::TempDir records;
  std::string recordPath = (records / "Brimwell/helper-state.json").string();
  std::shared_ptr<RecordingRunner> runner = std::make_shared<RecordingRunner>();
  std::shared_ptr<HelperRecordStore> store =
      std::make_shared<HelperRecordStore>(recordPath, ::geteuid());
  HelperService service{runner, store, 2, pmset.path()};

  std::string ask(HelperService& on, const Operation& operation) {
    Said said;
    operation(on, said);
    return said.text;
  }
  // The battery hibernate mode, battery and adapter Low Power Mode and sleep count: "3 0 0 0".
  std::string settings() {
    auto state = pmset.state();
    return state["battery_hibernatemode"] + " " + state["battery_lowpowermode"] + " " +
           state["ac_lowpowermode"] + " " + state["sleeps"];
  }
};

// One service taken through a script: each step may set the tool's settings and instructions,
// put a record in place and answer command lines itself, then runs one operation and checks its
// reply, the settings, the record (an empty one means no file at all) and, when given, the
// command lines it ran.
TEST_F(HelperServiceTest, EachStepRepliesOnceChangesOnlyWhatItOwnsAndKeepsTheRecord) {
  const HelperRecord none{}, three{3, std::nullopt}, zero{0, std::nullopt}, lowOff{{}, false};
  using Lines = std::vector<std::string>;
  const Lines read = {"pmset -g custom"}, nothing = {};
  using Answers = std::map<std::string, Outcome>;
  const Answers blank = {{"pmset -g custom", CommandOutput{2, " \n", "\t"}}};
  const Answers timeout = {
      {"pmset -b hibernatemode 25", Unexpected(CommandRunnerError::timedOut())}};
  const auto no = std::nullopt;
  struct Step {
    const char* name;
    std::string state, control;  // applied first when given; an empty control clears it
    Operation operation;
    std::string reply, settings;
    HelperRecord record;
    std::optional<HelperRecord> recorded = {};  // saved before the operation
    std::optional<Lines> ran = {};
    Answers answers = {};
  };
  const Step steps[] = {
      {"safe landing records 3, changes and reads back", "", "", beginSafe, "ok", "25 0 0 0", three,
       no, Lines{"pmset -g custom", "pmset -b hibernatemode 25", "pmset -g custom"}},
      {"25 already in place: one read", "", "", setMode(25), "ok", "25 0 0 0", three, no, read},
      {"the end puts 3 back and deletes the record", "", "", endSafe, "ok", "3 0 0 0", none},
      {"3 with nothing recorded runs nothing", "", "", setMode(3), "ok", "3 0 0 0", none, no,
       nothing},
      {"7 is refused at once", "", "", setMode(7), "Refused: hibernate mode 7 is not 0, 3 or 25",
       "3 0 0 0", none, no, nothing},
      {"-1 is refused at once", "", "", setMode(-1), "Refused: hibernate mode -1 is not 0, 3 or 25",
       "3 0 0 0", none, no, nothing},
      {"a current mode outside the known ones is left alone", "battery_hibernatemode=1", "",
       beginSafe, "Refused: the battery hibernate mode is 1, which Brimwell leaves alone",
       "1 0 0 0", none},
      {"a change that does not take keeps the record", "battery_hibernatemode=3",
       "refuse=hibernatemode", beginSafe,
       "The battery hibernate mode did not change (pmset reports 3)", "3 0 0 0", three},
      {"an end that does not take keeps the record", "battery_hibernatemode=25",
       "refuse=hibernatemode", endSafe,
       "The battery hibernate mode did not go back to 0 (pmset reports 25)", "25 0 0 0", zero,
       zero},
      {"a later end finishes it", "", "", endSafe, "ok", "0 0 0 0", none},
      {"low power is turned on, off recorded", "battery_lowpowermode=0", "", beginLow, "true",
       "3 1 0 0", lowOff},
      {"a second begin finds it on by the helper", "", "", beginLow, "true", "3 1 0 0", lowOff},
      {"the end turns it off and deletes the record", "", "", endLow, "ok", "3 0 0 0", none},
      {"already on before: not turned on by this call", "battery_lowpowermode=1", "", beginLow,
       "false", "3 1 0 0", none},
      {"so the end leaves it on", "", "", endLow, "ok", "3 1 0 0", none},
      {"switched off by the user: one read, the entry cleared", "battery_lowpowermode=0", "",
       endLow, "ok", "3 0 0 0", three, HelperRecord{3, false}, read},
      {"a begin that does not take", "", "refuse=lowpowermode", beginLow,
       "false; Low Power Mode did not turn on for battery (pmset still reports it off)", "3 0 0 0",
       lowOff, none},
      {"a set that does not take", "", "refuse=lowpowermode", turnLow(true),
       "Low Power Mode did not change (pmset still reports it off)", "3 0 0 0", lowOff},
      {"an end that does not take keeps the record", "battery_lowpowermode=1",
       "refuse=lowpowermode", endLow,
       "Low Power Mode for battery did not go back (pmset still reports it on)", "3 1 0 0", lowOff},
      {"reads give the value", "battery_lowpowermode=1\nbattery_hibernatemode=25", "", readLow,
       "true", "25 1 0 0", none, none},
      {"reads give the mode", "", "", readMode, "25", "25 1 0 0", none},
      {"an unreported setting reads as the placeholder", "", "silent=1", readLow,
       "false; pmset -g does not report Low Power Mode on this Mac", "25 1 0 0", none},
      {"an unreported mode reads as -1", "", "silent=1", readMode,
       "-1; pmset -g custom has no battery hibernate mode on this Mac", "25 1 0 0", none},
      {"an unreported battery low power mode is not changed", "", "silent=1", beginLow,
       "false; pmset -g custom has no battery Low Power Mode on this Mac", "25 1 0 0", none},
      {"a failure told on standard output", "battery_hibernatemode=3", "fail=1; stdout_only=1",
       sleepNow, "pmset sleepnow failed (1): pmset: injected failure", "3 0 0 0", none},
      {"a failure told on standard error", "", "fail=3", beginSafe,
       "pmset -g custom failed (3): pmset: injected failure", "3 0 0 0", none},
      {"a failure with blank output", "", "", beginSafe, "pmset -g custom failed (2): no output",
       "3 0 0 0", none, no, no, blank},
      {"a change that could not run stays recorded", "", "", beginSafe,
       "pmset -b hibernatemode 25 could not run: timedOut", "3 0 0 0", three, no, no, timeout},
      {"a set turns it on for both sources", "", "", turnLow(true), "ok", "3 1 1 0", none, none},
      {"a set that finds it in place", "", "", turnLow(true), "ok", "3 1 1 0", none},
      {"a set turns it off for both sources", "", "", turnLow(false), "ok", "3 0 0 0", none},
      {"a sleep", "", "", sleepNow, "ok", "3 0 0 1", none, none},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    if (!step.state.empty()) pmset.setState(step.state);
    pmset.control(step.control);
    ASSERT_TRUE(!step.recorded || store->save(*step.recorded));
    runner->answers = step.answers;
    runner->lines.clear();
    EXPECT_EQ(ask(service, step.operation), step.reply);
    EXPECT_EQ(settings(), step.settings);
    EXPECT_EQ(store->load(), step.record);
    EXPECT_EQ(fs::exists(recordPath), step.record != none);
    EXPECT_EQ(runner->lines, step.ran.value_or(runner->lines));
  }
}

TEST_F(HelperServiceTest, WithoutItsRecordOrItsToolNothingChanges) {
  HelperService unrecorded(runner,
                           std::make_shared<HelperRecordStore>(
                               (records / "missing/dir/state.json").string(), ::geteuid()),
                           2, pmset.path());
  const std::string mkdirFailed = "(couldNotWrite(\"mkdir: " + std::to_string(ENOENT) + "\"))";
  EXPECT_EQ(ask(unrecorded, beginSafe),
            "The helper couldn't record the hibernate mode, so it changed nothing " + mkdirFailed);
  EXPECT_EQ(
      ask(unrecorded, beginLow),
      "false; The helper couldn't record Low Power Mode, so it changed nothing " + mkdirFailed);
  HelperService toolless(runner, store, 2, (records / "pmset").string());
  EXPECT_EQ(ask(toolless, sleepNow),
            "pmset sleepnow could not run: couldNotLaunch(\"No such file or directory\")");
  EXPECT_EQ(settings(), "3 0 0 0");
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
          EXPECT_EQ(ask(own, beginSafe), "ok");
          EXPECT_EQ(ask(own, endSafe), "ok");
        } else {
          const auto turnedOn = ask(own, beginLow);
          EXPECT_TRUE(turnedOn == "true" || turnedOn == "false") << turnedOn;
          EXPECT_EQ(ask(own, endLow), "ok");
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
  EXPECT_EQ(settings(), "3 0 0 0");
  EXPECT_FALSE(fs::exists(recordPath));
}

}  // namespace
}  // namespace brimwell
