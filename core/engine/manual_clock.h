// ManualClock: a deterministic EngineClock for simulation and tests; time moves only when its
// owner advances it. Due timers run in order of their moment (then of scheduling), and the
// io_context is drained before and after each one, so every reaction finishes before time moves
// on. Wall and awake time move together except during sleep(), when nothing runs. One thread:
// the one that owns the io_context.
#pragma once

#include <asio/io_context.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "brimwell/core/engine/engine_clock.h"

namespace brimwell {

class ManualClock final : public EngineClock {
 public:
  ManualClock(asio::io_context& context, Date start) : context_(context), now_(start) {}

  Date now() const override { return now_; }
  std::shared_ptr<Cancellable> schedule(double seconds, std::function<void()> body) override {
    return add(false, seconds, std::move(body));
  }
  std::shared_ptr<Cancellable> scheduleAwake(double seconds, std::function<void()> body) override {
    return add(true, seconds, std::move(body));
  }

  // Lets `seconds` of awake time pass, running each timer as its moment comes. When `stopEarly`
  // answers true after a timer has run, time stops there; elapsed() tells how far it got.
  void advance(double seconds, const std::function<bool()>& stopEarly = {}) {
    pass(seconds, true, stopEarly);
  }
  // The machine sleeps for `seconds`: nothing runs and awake time stands still. Wall-clock
  // timers that came due run at the next advance, as on waking.
  void sleep(double seconds);
  // Runs every ready handler of the io_context, and those they make ready, until none is left.
  void drain();

  // Wall seconds since the clock was made.
  double elapsed() const { return wall_; }
  double awakeSeconds() const { return awake_; }

 private:
  struct Timer : Cancellable {
    bool awake = false;
    double due = 0;  // wall seconds since start, or awake seconds
    std::uint64_t order = 0;
    std::function<void()> body;
    void cancel() override { body = nullptr; }
  };

  std::shared_ptr<Cancellable> add(bool awake, double seconds, std::function<void()> body);
  void pass(double seconds, bool awake, const std::function<bool()>& stopEarly);
  void step(double seconds, bool awake);

  asio::io_context& context_;
  Date now_;
  double wall_ = 0;
  double awake_ = 0;
  std::uint64_t nextOrder_ = 0;
  std::vector<std::shared_ptr<Timer>> timers_;
};

}  // namespace brimwell
