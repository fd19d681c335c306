#include "cli/simulation/service_helper.h"

namespace brimwell::simulation {
namespace {

Status status(const HelperService::Message& message) {
  if (message) return fail(*message);
  return Status();
}

HelperService::Reply replying(Completion<Status>& done) {
  return [&done](HelperService::Message message) { done(status(message)); };
}

}  // namespace

void ServiceHelper::state(Completion<HelperState> done) {
  told("state");
  done(helper_state::Ready{});
}

void ServiceHelper::lowPowerMode(Completion<Result<bool>> done) {
  told("lowPowerMode");
  service_->lowPowerMode([&done](bool on, HelperService::Message message) {
    if (message) return done(fail(*message));
    done(on);
  });
}

void ServiceHelper::setLowPowerMode(bool on, Completion<Status> done) {
  told(on ? "setLowPowerMode on" : "setLowPowerMode off");
  service_->setLowPowerMode(on, replying(done));
}

void ServiceHelper::batteryHibernateMode(Completion<Result<std::int64_t>> done) {
  told("batteryHibernateMode");
  service_->batteryHibernateMode([&done](std::int64_t mode, HelperService::Message message) {
    if (message) return done(fail(*message));
    done(mode);
  });
}

void ServiceHelper::setBatteryHibernateMode(std::int64_t mode, Completion<Status> done) {
  told("setBatteryHibernateMode " + std::to_string(mode));
  service_->setBatteryHibernateMode(mode, replying(done));
}

void ServiceHelper::sleepNow(Completion<Status> done) {
  told("sleepNow");
  service_->sleepNow(replying(done));
}

void ServiceHelper::beginLowPowerMode(Completion<Result<bool>> done) {
  told("beginLowPowerMode");
  service_->beginLowPowerMode([&done](bool turnedOn, HelperService::Message message) {
    if (message) return done(fail(*message));
    done(turnedOn);
  });
}

void ServiceHelper::endLowPowerMode(Completion<Status> done) {
  told("endLowPowerMode");
  service_->endLowPowerMode(replying(done));
}

void ServiceHelper::beginSafeLanding(Completion<Status> done) {
  told("beginSafeLanding");
  service_->beginSafeLanding(replying(done));
}

void ServiceHelper::endSafeLanding(Completion<Status> done) {
  told("endSafeLanding");
  service_->endSafeLanding(replying(done));
}

void ServiceHelper::sleepDisabled(Completion<std::optional<bool>> done) {
  told("sleepDisabled");
  done(false);  // the simulated machine always allows sleep
}

}  // namespace brimwell::simulation
