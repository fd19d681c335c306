// HelperControlling: everything the helper daemon can do, as asynchronous calls. Each completion
// is called exactly once, from any thread; implementations must be safe to call from any thread
// and must outlive the completions of the calls made on them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "brimwell/core/base/error.h"
#include "brimwell/core/helper/helper_state.h"

namespace brimwell {

template <class T>
using Completion = std::function<void(T)>;

class HelperControlling {
 public:
  virtual ~HelperControlling() = default;

  // Availability of the daemon, without changing anything.
  virtual void state(Completion<HelperState> done) = 0;
  virtual void lowPowerMode(Completion<Result<bool>> done) = 0;
  virtual void setLowPowerMode(bool on, Completion<Status> done) = 0;
  virtual void batteryHibernateMode(Completion<Result<std::int64_t>> done) = 0;
  virtual void setBatteryHibernateMode(std::int64_t mode, Completion<Status> done) = 0;
  virtual void sleepNow(Completion<Status> done) = 0;

  // The defaults below build on the operations above.

  // True when this call turned Low Power Mode on; false, changing nothing, when it was on.
  virtual void beginLowPowerMode(Completion<Result<bool>> done);
  // Turns Low Power Mode off.
  virtual void endLowPowerMode(Completion<Status> done);
  // Sets the Safe Landing hibernate mode.
  virtual void beginSafeLanding(Completion<Status> done);
  // Fails at once: putting the hibernate mode back needs a daemon that remembers it.
  virtual void endSafeLanding(Completion<Status> done);
  // Whether sleep is turned off on the machine; absent when it cannot be told.
  virtual void sleepDisabled(Completion<std::optional<bool>> done);
  // Removes the installed daemon; by default there is nothing to remove.
  virtual void removeAll(Completion<Status> done);
  // Brings an out-of-date daemon up to date and reports the resulting state; by default `state`.
  virtual void updateIfOutOfDate(Completion<HelperState> done);
};

}  // namespace brimwell
