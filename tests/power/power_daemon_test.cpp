// The real helper daemon running the real power tool, through a wrapper that hands the tool this
// test's sysfs tree, state file and private bus.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>

#include "brimwell/core/helper/helper_client.h"
#include "brimwell/core/helper/peer_identity.h"
#include "helper/helper_record.h"
#include "linux/sd_bus_ptr.h"
#include "power/power_settings.h"
#include "tests/helper/daemon_process.h"
#include "tests/power/power_tool_bench.h"
#include "tests/support/private_bus.h"

namespace brimwell {
namespace {

using testing::readText;
using testing::writeText;

TEST(PowerDaemonTest, TheDaemonDrivesSafeLandingAndLowPowerModeThroughTheRealTool) {
  testing::PrivateBus bus;
  testing::PowerToolBench bench;
  const auto directory = bench.sysfs().parent_path();
  const auto logindLog = directory / "logind.log";
  bus.startMock("logind", "org.freedesktop.login1", "{}", logindLog.string());
  bus.startMock("power_profiles_daemon", "net.hadess.PowerProfiles", "{}",
                (directory / "profiles.log").string());
  // The daemon asks polkit about callers that aren't root.
  bus.startMock("polkitd", "org.freedesktop.PolicyKit1", "{}", (directory / "polkit.log").string());
  bus.mockCall("org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
               "AllowUnknown", "b", 1);
  SdBus peer(bus.connect());

  // The daemon runs its tool with PATH and LANG only; the wrapper adds this test's environment.
  const auto wrapper = directory / "pmset";
  writeText(wrapper, "#!/bin/sh\nexport BRIMWELL_SYSFS_ROOT='" + bench.sysfs().string() +
                         "'\nexport BRIMWELL_POWER_STATE='" + bench.statePath().string() +
                         "'\nexport DBUS_SYSTEM_BUS_ADDRESS='" + bus.address() + "'\nexec '" +
                         BRIMWELL_POWER_TOOL_PATH + "' \"$@\"\n");
  ::chmod(wrapper.c_str(), 0755);
  writeText(bench.statePath(), R"({"ac":{"hibernatemode":0,"lowpowermode":false},)"
                               R"("battery":{"hibernatemode":3,"lowpowermode":false}})");
  const auto settings = [&] { return decodePowerSettings(readText(bench.statePath())); };

  DaemonProcess daemon(10, {"--pmset", wrapper.string()});
  HelperClientOptions options = HelperClientOptions::defaults();
  options.socketPath = daemon.socketPath();
  // The daemon runs as the user running the test.
  options.helper = {canonicalExecutablePath(BRIMWELL_HELPER_DAEMON_PATH), ::geteuid(), false,
                    ::geteuid()};
  options.timeout = [](HelperCall) { return 15.0; };
  HelperClient client(options);
  auto status = [&](void (HelperClient::*operation)(Completion<Status>)) {
    std::promise<Status> done;
    (client.*operation)([&](Status s) { done.set_value(s); });
    return done.get_future().get();
  };
  const auto record = [&] { return decodeHelperRecord(readText(daemon.recordPath())); };

  const Status began = status(&HelperClient::beginSafeLanding);
  ASSERT_TRUE(began) << began.error().message();
  EXPECT_EQ(settings()->battery.hibernateMode, 25);
  ASSERT_TRUE(record());
  EXPECT_EQ(record()->hibernateModeToRestore, 3);

  const Status slept = status(&HelperClient::sleepNow);
  ASSERT_TRUE(slept) << slept.error().message();
  const auto calls = testing::loggedCalls(logindLog);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "Hibernate"), 1);
  EXPECT_EQ(std::count(calls.begin(), calls.end(), "Suspend"), 0);

  const Status ended = status(&HelperClient::endSafeLanding);
  ASSERT_TRUE(ended) << ended.error().message();
  EXPECT_EQ(settings()->battery.hibernateMode, 3);
  EXPECT_FALSE(std::filesystem::exists(daemon.recordPath()));

  std::promise<Result<bool>> turnedOn;
  client.beginLowPowerMode([&](Result<bool> on) { turnedOn.set_value(on); });
  const Result<bool> on = turnedOn.get_future().get();
  ASSERT_TRUE(on) << on.error().message();
  EXPECT_TRUE(*on);
  EXPECT_EQ(testing::activeProfile(peer.get()), "power-saver");
  EXPECT_EQ(record()->batteryLowPowerModeToRestore, false);

  const Status off = status(&HelperClient::endLowPowerMode);
  ASSERT_TRUE(off) << off.error().message();
  EXPECT_EQ(testing::activeProfile(peer.get()), "balanced");
  EXPECT_FALSE(std::filesystem::exists(daemon.recordPath()));
}

}  // namespace
}  // namespace brimwell
