// ServiceHelper: the HelperControlling of a simulation, calling the real helper service's
// operations directly (no daemon, no socket). A reply sentence becomes an Error with that
// sentence; every call is told to an observer by its operation name. The daemon is always
// ready. Single-threaded: the service answers before each call returns.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "brimwell/core/helper/helper_controlling.h"
#include "helper/helper_service.h"

namespace brimwell::simulation {

class ServiceHelper final : public HelperControlling {
 public:
  explicit ServiceHelper(std::shared_ptr<HelperService> service) : service_(std::move(service)) {}

  void state(Completion<HelperState> done) override;
  void lowPowerMode(Completion<Result<bool>> done) override;
  void setLowPowerMode(bool on, Completion<Status> done) override;
  void batteryHibernateMode(Completion<Result<std::int64_t>> done) override;
  void setBatteryHibernateMode(std::int64_t mode, Completion<Status> done) override;
  void sleepNow(Completion<Status> done) override;
  void beginLowPowerMode(Completion<Result<bool>> done) override;
  void endLowPowerMode(Completion<Status> done) override;
  void beginSafeLanding(Completion<Status> done) override;
  void endSafeLanding(Completion<Status> done) override;
  void sleepDisabled(Completion<std::optional<bool>> done) override;

  // Sees each call by its operation name, e.g. "beginSafeLanding" or "setLowPowerMode on".
  std::function<void(const std::string&)> onCall;

 private:
  void told(const std::string& call) {
    if (onCall) onCall(call);
  }

  std::shared_ptr<HelperService> service_;
};

}  // namespace brimwell::simulation
