// SystemClock: the EngineClock of a running host. `schedule` waits on CLOCK_BOOTTIME, which keeps
// counting while the machine is suspended; `scheduleAwake` on CLOCK_MONOTONIC, which stops. Bodies
// run on the given io_context (the engine's thread); the clock must outlive its pending timers'
// io_context runs, and is used from that thread only.
#pragma once

#include <asio/io_context.hpp>

#include "brimwell/core/engine/engine_clock.h"

namespace brimwell {

class SystemClock final : public EngineClock {
 public:
  explicit SystemClock(asio::io_context& context) : context_(context) {}

  Date now() const override;
  std::shared_ptr<Cancellable> schedule(double seconds, std::function<void()> body) override;
  std::shared_ptr<Cancellable> scheduleAwake(double seconds, std::function<void()> body) override;

 private:
  std::shared_ptr<Cancellable> start(int clockId, double seconds, std::function<void()> body);

  asio::io_context& context_;
};

}  // namespace brimwell
