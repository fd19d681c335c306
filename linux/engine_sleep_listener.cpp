#include "linux/engine_sleep_listener.h"

namespace brimwell {

SleepListener engineSleepListener(std::weak_ptr<BrimwellEngine> engine) {
  return SleepListener{
      .willSleep =
          [engine](std::function<void()> ready) {
            const auto held = engine.lock();
            if (!held) return ready();
            held->systemWillSleep();
            // A stopped engine answers at once, with nothing.
            held->captureNow(
                [ready = std::move(ready)](std::optional<SnapshotSummary>) { ready(); });
          },
      .didWake =
          [engine] {
            if (const auto held = engine.lock()) held->systemDidWake();
          },
      .willShutDown =
          [engine] {
            if (const auto held = engine.lock()) held->markCleanExit(ExitReason::powerOff);
          },
  };
}

}  // namespace brimwell
