#include "brimwell/core/helper/helper_controlling.h"

#include <utility>

#include "brimwell/core/helper/brimwell_helper_constants.h"
#include "brimwell/core/helper/helper_command_unavailable.h"

namespace brimwell {

void HelperControlling::beginLowPowerMode(Completion<Result<bool>> done) {
  lowPowerMode([this, done = std::move(done)](Result<bool> current) mutable {
    if (!current) return done(Unexpected(current.error()));
    if (*current) return done(false);
    setLowPowerMode(true, [done = std::move(done)](Status changed) {
      if (!changed) return done(Unexpected(changed.error()));
      done(true);
    });
  });
}

void HelperControlling::endLowPowerMode(Completion<Status> done) {
  setLowPowerMode(false, std::move(done));
}

void HelperControlling::beginSafeLanding(Completion<Status> done) {
  setBatteryHibernateMode(BrimwellHelperConstants::safeLandingHibernateMode, std::move(done));
}

void HelperControlling::endSafeLanding(Completion<Status> done) {
  done(fail(HelperCommandUnavailable{"put the hibernate mode back"}.describe()));
}

void HelperControlling::sleepDisabled(Completion<std::optional<bool>> done) { done(std::nullopt); }

void HelperControlling::removeAll(Completion<Status> done) { done(Status()); }

void HelperControlling::updateIfOutOfDate(Completion<HelperState> done) { state(std::move(done)); }

}  // namespace brimwell
