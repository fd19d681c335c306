#include "linux/desktop_power_saver.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/linux/bus_engine.h"
#include "tests/support/mock_calls.h"

namespace brimwell {
namespace {

using testing::runUntil;

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kSession = "/org/freedesktop/login1/session/auto";

// Low Power Mode as a daemon would keep it, answering from a thread of its own.
class FakeHelper final : public HelperControlling {
 public:
  void state(Completion<HelperState> done) override { done(helper_state::Ready{}); }
  void lowPowerMode(Completion<Result<bool>> done) override {
    later([this, done] { broken ? done(fail("The helper isn't answering.")) : done(on); });
  }
  void setLowPowerMode(bool value, Completion<Status> done) override {
    later([this, value, done] {
      if (broken) return done(fail("The helper isn't answering."));
      on = value;
      done(Status());
    });
  }
  void batteryHibernateMode(Completion<Result<std::int64_t>> done) override { done(3); }
  void setBatteryHibernateMode(std::int64_t, Completion<Status> done) override { done(Status()); }
  void sleepNow(Completion<Status> done) override { done(Status()); }
  ~FakeHelper() override {
    for (auto& thread : threads_) thread.join();
  }

  bool on = false;
  bool broken = false;

 private:
  void later(std::function<void()> work) { threads_.emplace_back(std::move(work)); }
  std::vector<std::thread> threads_;
};

// logind with the caller's session, whose SetBrightness writes the level into the fake sysfs
// tree the way the kernel would.
struct DimFixture {
  explicit DimFixture(long brightness) {
    std::filesystem::create_directories(dir / "backlight/intel_backlight");
    testing::writeFile(dir / "backlight/intel_backlight/max_brightness", "100\n");
    testing::writeFile(dir / "backlight/intel_backlight/type", "raw\n");
    testing::writeFile(dir / "backlight/intel_backlight/brightness",
                       std::to_string(brightness) + "\n");
    bus.startMock("logind", kLogind);
    bus.mockCall(kLogind, "/org/freedesktop/login1", "AddSession", "ssusb", "auto", "seat0", 1000u,
                 "user", 1);
    const std::string writes = "open('" + (dir / "backlight").string() +
                               "/' + args[1] + '/brightness', 'w').write(str(args[2]) + '\\n')";
    bus.mockCall(kLogind, kSession, "AddMethod", "sssss", "org.freedesktop.login1.Session",
                 "SetBrightness", "ssu", "", writes.c_str());
    system = *BusConnection::open(context, BusConnection::Kind::system);
    saver = std::make_shared<DesktopPowerSaver>(context, helper, system,
                                                DesktopPowerSaverOptions{dir / "backlight"});
  }

  PowerSaverRecord apply(const BrimwellSettings& settings) {
    std::optional<PowerSaverRecord> result;
    saver->apply(settings, [&](PowerSaverRecord record) { result = record; });
    if (!runUntil(context, [&] { return result.has_value(); })) throw std::runtime_error("apply");
    return *result;
  }
  PowerSaverRecord undo(const PowerSaverRecord& record) {
    std::optional<PowerSaverRecord> result;
    saver->undo(record, [&](PowerSaverRecord remaining) { result = remaining; });
    if (!runUntil(context, [&] { return result.has_value(); })) throw std::runtime_error("undo");
    return *result;
  }
  std::string level() const {
    return testing::readFile(dir / "backlight/intel_backlight/brightness");
  }
  std::vector<std::vector<std::string>> brightnessCalls() const {
    return testing::mockCalls(bus, kLogind, kSession, "SetBrightness");
  }

  testing::TempDir dir;
  testing::PrivateBus bus;
  asio::io_context context;
  std::shared_ptr<FakeHelper> helper = std::make_shared<FakeHelper>();
  std::shared_ptr<BusConnection> system;
  std::shared_ptr<DesktopPowerSaver> saver;
};

TEST(DesktopPowerSaverTest, AppliesWhatTheSettingsAskAndRecordsOnlyWhatTookEffect) {
  const struct {
    const char* name;
    bool lowPowerMode, dim, alreadyOn, broken;
    long brightness;
    PowerSaverRecord expected;
    const char* levelAfter;
  } rows[] = {
      {"both", true, true, false, false, 80, {true, 0.8, 0.4}, "40\n"},
      {"already low and dim", true, true, true, false, 30, {}, "30\n"},
      {"neither asked", false, false, false, false, 80, {}, "80\n"},
      {"helper down", true, true, false, true, 100, {false, 1.0, 0.4}, "40\n"},
  };
  for (const auto& row : rows) {
    DimFixture f(row.brightness);
    f.helper->on = row.alreadyOn;
    f.helper->broken = row.broken;
    BrimwellSettings settings = BrimwellSettings::defaults();
    settings.powerSaverLowPowerMode = row.lowPowerMode;
    settings.powerSaverDim = row.dim;
    settings.dimTarget = 0.4;
    EXPECT_EQ(f.apply(settings), row.expected) << row.name;
    EXPECT_EQ(f.level(), row.levelAfter) << row.name;
    EXPECT_EQ(f.helper->on, row.alreadyOn || (row.lowPowerMode && !row.broken)) << row.name;
    const auto calls = f.brightnessCalls();
    if (row.expected.dimmedTo) {
      EXPECT_EQ(calls,
                (std::vector<std::vector<std::string>>{{"backlight", "intel_backlight", "40"}}))
          << row.name;
    } else {
      EXPECT_TRUE(calls.empty()) << row.name;
    }
  }
}

TEST(DesktopPowerSaverTest, UndoPutsBackWhatTheRecordListsAndKeepsWhatItCouldNot) {
  DimFixture f(80);
  const PowerSaverRecord applied = f.apply(BrimwellSettings::defaults());
  ASSERT_EQ(applied, (PowerSaverRecord{true, 0.8, 0.4}));
  PowerSaverRecord withMode = applied;
  withMode.previousHibernateMode = 3;
  EXPECT_EQ(f.undo(withMode), PowerSaverRecord{.previousHibernateMode = 3});
  EXPECT_EQ(f.level(), "80\n");
  EXPECT_FALSE(f.helper->on);

  // Neither the daemon nor logind can put anything back: the whole record remains.
  f.helper->on = true;
  f.helper->broken = true;
  f.bus.mockCall(kLogind, kSession, "AddMethod", "sssss", "org.freedesktop.login1.Session",
                 "SetBrightness", "ssu", "", "raise dbus.exceptions.DBusException('denied')");
  EXPECT_EQ(f.undo(applied), applied);
  EXPECT_EQ(f.level(), "80\n");
}

}  // namespace
}  // namespace brimwell
