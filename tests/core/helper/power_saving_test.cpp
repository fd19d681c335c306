#include "brimwell/core/helper/power_saving.h"

#include <gtest/gtest.h>

#include <vector>

namespace brimwell {
namespace {

class RecordingPowerSaver final : public PowerSaving {
 public:
  void apply(const BrimwellSettings&, std::function<void(PowerSaverRecord)> done) override {
    done(PowerSaverRecord::none());
  }
  void restore(const PowerSaverRecord& record, std::function<void()> done) override {
    restored.push_back(record);
    done();
  }
  std::vector<PowerSaverRecord> restored;
};

TEST(PowerSavingTest, DefaultUndoRestoresEverythingAndKeepsOnlyTheHibernateMode) {
  const struct {
    PowerSaverRecord held;
    PowerSaverRecord remaining;
  } cases[] = {
      {{true, 0.8, 0.4, std::nullopt}, PowerSaverRecord::none()},
      {{true, 0.8, 0.4, 3}, {false, std::nullopt, std::nullopt, 3}},
      {{false, std::nullopt, std::nullopt, 3}, {false, std::nullopt, std::nullopt, 3}},
  };
  for (const auto& c : cases) {
    RecordingPowerSaver saver;
    std::optional<PowerSaverRecord> remaining;
    saver.undo(c.held, [&](PowerSaverRecord r) { remaining = r; });
    EXPECT_EQ(saver.restored, std::vector<PowerSaverRecord>{c.held});
    EXPECT_EQ(remaining, c.remaining);
  }
}

}  // namespace
}  // namespace brimwell
