// EngineClock: the engine's time and timers, behind an interface so tests drive a manual clock
// instead of sleeping. Timer bodies run on the engine's thread. Cancellable: a pending body that
// will not run once cancelled; cancelling twice or after the body ran is harmless.
#pragma once

#include <functional>
#include <memory>

#include "brimwell/core/base/date.h"

namespace brimwell {

class Cancellable {
 public:
  virtual ~Cancellable() = default;
  virtual void cancel() = 0;
};

class EngineClock {
 public:
  virtual ~EngineClock() = default;

  virtual Date now() const = 0;

  // Runs `body` once after `seconds` of wall-clock time; time asleep counts. A negative or NaN
  // delay means now (the body still runs later, never inside this call).
  virtual std::shared_ptr<Cancellable> schedule(double seconds, std::function<void()> body) = 0;

  // The same, but only awake time counts. Clocks that can't tell the two apart use schedule().
  virtual std::shared_ptr<Cancellable> scheduleAwake(double seconds, std::function<void()> body) {
    return schedule(seconds, std::move(body));
  }
};

}  // namespace brimwell
