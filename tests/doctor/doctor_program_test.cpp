// `brimwell doctor` and the notice `brimwell watch` gives, run as programs against real mock peers
// on a private bus and a fake tree standing for /.
#include "cli/doctor_command.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "brimwell/core/storage/json_coding.h"
#include "tests/cli/run_tool.h"
#include "tests/doctor/fake_root.h"
#include "tests/support/private_bus.h"
#include "tests/support/scoped_environment.h"

namespace brimwell {
namespace {

using testing::put;
using testing::TempDir;

std::size_t count(const std::string& text, const std::string& word) {
  std::size_t found = 0;
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) ++found;
  return found;
}

TEST(DoctorProgram, PrintsTheTableAndTheJsonAndFailsWithoutHibernation) {
  TempDir root;
  // The table's width depends on the applications found: none of the user's take part.
  testing::ScopedEnvironment environment;
  environment.set("HOME", root.path().string());
  environment.set("XDG_DATA_HOME", (root / "data").string());
  environment.set("XDG_DATA_DIRS", (root / "usr/share").string());
  testing::writeHibernatingLaptop(root.path());
  put(root.path() / "proc/swaps",
      "Filename Type Size Used Priority\n/dev/zram0 partition 4000 0 5\n");
  testing::PrivateBus bus;
  bus.startMock("logind", "org.freedesktop.login1", R"({"CanHibernate": "na"})");
  bus.startMock("polkitd", "org.freedesktop.PolicyKit1");
  const std::string socket = (root / "helper.sock").string();

  const auto table =
      testing::runTool({"doctor", "--root", root.path().string(), "--socket", socket});
  EXPECT_EQ(table.status, 1) << table.err;
  EXPECT_NE(table.out.find("✓ Battery           A battery is at /sys/class/power_supply/BAT0.\n"),
            std::string::npos)
      << table.out;
  EXPECT_NE(table.out.find("✗ Swap              The only swap is compressed memory (zram), which "
                           "can't hold a hibernation image.\n                    Add a swap"),
            std::string::npos)
      << table.out;
  EXPECT_NE(table.out.find("✗ Hibernate         logind answers na to CanHibernate (see Swap).\n"),
            std::string::npos)
      << table.out;
  EXPECT_NE(table.out.find("\nSafe Landing can't work on this machine (see Helper, "),
            std::string::npos)
      << table.out;

  const auto json =
      testing::runTool({"doctor", "--json", "--root", root.path().string(), "--socket", socket});
  EXPECT_EQ(json.status, 1);
  const Json document = Json::parse(json.out, nullptr, false);
  ASSERT_TRUE(document.is_object()) << json.out;
  EXPECT_EQ(document["safeLandingCanWork"], false);
  bool sawSwap = false;
  for (const auto& check : document["checks"]) {
    if (check["check"] == "Swap") {
      sawSwap = true;
      EXPECT_EQ(check["ok"], false);
      EXPECT_TRUE(check.contains("fix"));
    }
    if (check["ok"] == true) {
      EXPECT_FALSE(check.contains("fix"));
    }
  }
  EXPECT_TRUE(sawSwap);
}

// `watch` tells once what is missing, records the set in its support directory, and tells a set
// that differs from the recorded one again; it asks nothing.
TEST(DoctorProgram, WatchTellsWhatIsMissingOnce) {
  TempDir dir;
  testing::ScopedEnvironment environment;
  environment.set("HOME", dir.path().string());
  environment.set("XDG_CONFIG_HOME", (dir / "config").string());
  environment.set("TMUX_TMPDIR", dir.path().string());
  testing::PrivateBus bus;
  const std::string log = (dir / "notifications.log").string();
  bus.startMock("notification_daemon", "org.freedesktop.Notifications", "{}", log);
  const auto support = dir / "support";
  const auto record = support / "doctor-notice.json";

  // Runs watch until the notice log holds `notices` Notify calls or `seconds` pass.
  auto watchFor = [&](std::size_t notices, int seconds) {
    const pid_t child =
        testing::startTool({"watch", "--support", support.string(), "--fake-battery", "80,ac,0"},
                           (dir / "out").string(), (dir / "err").string());
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < until &&
           count(testing::readFile(log), "Notify") < notices) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(child, SIGTERM);
    EXPECT_EQ(testing::waitForTool(child), 0) << testing::readFile((dir / "err").string());
  };

  watchFor(1, 15);
  const std::string told = testing::readFile(log);
  ASSERT_EQ(count(told, "Notify"), 1u) << told;
  // No logind on this bus: hibernation is missing whatever this machine has.
  EXPECT_NE(told.find("Missing: "), std::string::npos) << told;
  EXPECT_NE(told.find("Hibernate"), std::string::npos) << told;
  EXPECT_NE(told.find("Run brimwell doctor to see what to do."), std::string::npos) << told;
  const Json recorded = Json::parse(testing::readFile(record), nullptr, false);
  ASSERT_TRUE(recorded.is_object()) << testing::readFile(record);
  EXPECT_NE(std::find(recorded["missing"].begin(), recorded["missing"].end(), "Hibernate"),
            recorded["missing"].end());

  watchFor(2, 5);  // the same set: not told again
  EXPECT_EQ(count(testing::readFile(log), "Notify"), 1u);

  put(record, R"({"missing":["Battery"]})");
  watchFor(2, 15);  // another set: told
  EXPECT_EQ(count(testing::readFile(log), "Notify"), 2u);
  EXPECT_NE(testing::readFile(record), R"({"missing":["Battery"]})");
}

}  // namespace
}  // namespace brimwell
