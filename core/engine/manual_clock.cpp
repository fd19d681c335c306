#include "brimwell/core/engine/manual_clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace brimwell {

std::shared_ptr<Cancellable> ManualClock::add(bool awake, double seconds,
                                              std::function<void()> body) {
  auto timer = std::make_shared<Timer>();
  timer->awake = awake;
  // A negative or NaN delay means the next step, never inside this call.
  const double delay = std::isnan(seconds) ? 0.0 : std::max(0.0, seconds);
  timer->due = (awake ? awake_ : wall_) + delay;
  timer->order = nextOrder_++;
  timer->body = std::move(body);
  timers_.push_back(timer);
  return timer;
}

void ManualClock::step(double seconds, bool awake) {
  wall_ += seconds;
  if (awake) awake_ += seconds;
  now_ += std::chrono::nanoseconds(static_cast<std::int64_t>(std::llround(seconds * 1e9)));
}

void ManualClock::pass(double seconds, bool awake, const std::function<bool()>& stopEarly) {
  const double end = wall_ + std::max(0.0, seconds);
  for (;;) {
    drain();
    std::shared_ptr<Timer> next;
    double nextWall = 0;
    for (const auto& timer : timers_) {
      if (!timer->body) continue;
      if (timer->awake && !awake) continue;
      const double wall = timer->awake ? wall_ + (timer->due - awake_) : timer->due;
      if (wall > end) continue;
      if (!next || wall < nextWall || (wall == nextWall && timer->order < next->order)) {
        next = timer;
        nextWall = wall;
      }
    }
    if (!next) break;
    step(std::max(0.0, nextWall - wall_), awake);
    auto body = std::move(next->body);
    next->body = nullptr;
    std::erase_if(timers_, [](const auto& t) { return t->body == nullptr; });
    body();
    if (stopEarly) {
      drain();
      if (stopEarly()) return;
    }
  }
  step(end - wall_, awake);
  drain();
}

void ManualClock::sleep(double seconds) {
  drain();
  step(std::max(0.0, seconds), false);
}

void ManualClock::drain() {
  do {
    context_.restart();
  } while (context_.poll() > 0);
}

}  // namespace brimwell
