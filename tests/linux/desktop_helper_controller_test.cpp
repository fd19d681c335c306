#include "linux/desktop_helper_controller.h"

#include <gtest/gtest.h>

#include "tests/linux/bus_engine.h"

namespace brimwell {
namespace {

TEST(DesktopHelperControllerTest, SleepIsOffOnlyWhenLogindAllowsNeitherHibernateNorSuspend) {
  const struct {
    const char* canHibernate;
    const char* canSuspend;
    std::optional<bool> disabled;
  } rows[] = {
      {"yes", "no", false},
      {"na", "challenge", false},
      {"na", "no", true},
  };
  for (const auto& row : rows) {
    testing::PrivateBus bus;
    bus.startMock("logind", "org.freedesktop.login1",
                  std::string("{\"CanHibernate\": \"") + row.canHibernate +
                      "\", \"CanSuspend\": \"" + row.canSuspend + "\"}");
    asio::io_context context;
    auto system = BusConnection::open(context, BusConnection::Kind::system);
    ASSERT_TRUE(system.has_value()) << system.error().message();
    DesktopHelperController controller(context, std::make_shared<testing::AbsentHelper>(), *system);
    std::optional<std::optional<bool>> told;
    controller.sleepDisabled([&](std::optional<bool> disabled) { told = disabled; });
    ASSERT_TRUE(testing::runUntil(context, [&] { return told.has_value(); }));
    EXPECT_EQ(*told, row.disabled) << row.canHibernate << " " << row.canSuspend;
  }
  // Without logind on the bus it can't be told.
  testing::PrivateBus empty;
  asio::io_context context;
  DesktopHelperController controller(context, std::make_shared<testing::AbsentHelper>(),
                                     *BusConnection::open(context, BusConnection::Kind::system));
  std::optional<std::optional<bool>> told;
  controller.sleepDisabled([&](std::optional<bool> disabled) { told = disabled; });
  ASSERT_TRUE(testing::runUntil(context, [&] { return told.has_value(); }));
  EXPECT_EQ(*told, std::nullopt);
}

}  // namespace
}  // namespace brimwell
