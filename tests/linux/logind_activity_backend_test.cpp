#include "linux/logind_activity_backend.h"

#include <gtest/gtest.h>

#include <chrono>

#include "tests/linux/bus_engine.h"

namespace brimwell {
namespace {

using namespace std::chrono_literals;

TEST(LogindActivityBackendTest, KeepingAwakeHoldsAnIdleLockExactlyAsLongAsTheActivity) {
  testing::PrivateBus bus;
  bus.startMock("logind", "org.freedesktop.login1");
  asio::io_context context;
  auto system = BusConnection::open(context, BusConnection::Kind::system);
  ASSERT_TRUE(system.has_value()) << system.error().message();
  LogindActivityBackend backend(*system);
  using Lock = std::tuple<std::string, std::string, std::string, std::string>;
  const std::vector<Lock> idle = {{"idle", "Brimwell", "looking after", "block"}};

  auto running = backend.begin(ActivityLevel::keepRunning, "looking after");
  auto awake = backend.begin(ActivityLevel::keepAwake, "looking after");
  EXPECT_TRUE(testing::runUntil(context, [&] { return testing::inhibitors(bus) == idle; }));
  awake.reset();
  EXPECT_TRUE(testing::runUntil(context, [&] { return testing::inhibitors(bus).empty(); }));

  // An activity that ends before logind has answered still lets go of the lock it is handed.
  backend.begin(ActivityLevel::keepAwake, "looking after").reset();
  context.run_for(300ms);
  EXPECT_TRUE(testing::runUntil(context, [&] { return testing::inhibitors(bus).empty(); }));
}

}  // namespace
}  // namespace brimwell
