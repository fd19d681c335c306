#include "brimwell/core/engine/system_clock.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/post.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cmath>
#include <ctime>

namespace brimwell {
namespace {

// One armed timerfd. The descriptor is watched by the io_context; cancel() closes it, so the
// wait completes with an error and the body is dropped.
class TimerFdCancellable final : public Cancellable,
                                 public std::enable_shared_from_this<TimerFdCancellable> {
 public:
  TimerFdCancellable(asio::io_context& context, int fd, std::function<void()> body)
      : descriptor_(context, fd), body_(std::move(body)) {}

  void arm() {
    descriptor_.async_wait(asio::posix::stream_descriptor::wait_read,
                           [self = shared_from_this()](const std::error_code& error) {
                             if (error || !self->body_) return;
                             auto body = std::move(self->body_);
                             self->body_ = nullptr;
                             std::error_code ignored;
                             self->descriptor_.close(ignored);
                             body();
                           });
  }

  void cancel() override {
    body_ = nullptr;
    std::error_code ignored;
    descriptor_.close(ignored);
  }

 private:
  asio::posix::stream_descriptor descriptor_;
  std::function<void()> body_;
};

// A body posted for the next turn of the loop: zero and negative delays.
class PostedCancellable final : public Cancellable {
 public:
  void cancel() override { *cancelled_ = true; }
  std::shared_ptr<bool> cancelled_ = std::make_shared<bool>(false);
};

// The fallback when no timerfd can be had (out of descriptors): a monotonic timer, which at worst
// doesn't count time asleep.
class SteadyCancellable final : public Cancellable {
 public:
  explicit SteadyCancellable(asio::io_context& context) : timer_(context) {}
  void cancel() override { timer_.cancel(); }
  asio::steady_timer timer_;
};

}  // namespace

Date SystemClock::now() const { return std::chrono::system_clock::now(); }

std::shared_ptr<Cancellable> SystemClock::schedule(double seconds, std::function<void()> body) {
  return start(CLOCK_BOOTTIME, seconds, std::move(body));
}

std::shared_ptr<Cancellable> SystemClock::scheduleAwake(double seconds,
                                                        std::function<void()> body) {
  return start(CLOCK_MONOTONIC, seconds, std::move(body));
}

std::shared_ptr<Cancellable> SystemClock::start(int clockId, double seconds,
                                                std::function<void()> body) {
  const double delay = std::isnan(seconds) || seconds < 0 ? 0 : std::min(seconds, 1e9);
  const auto nanos = static_cast<long long>(delay * 1e9);
  if (nanos == 0) {
    auto posted = std::make_shared<PostedCancellable>();
    asio::post(context_, [cancelled = posted->cancelled_, body = std::move(body)] {
      if (!*cancelled) body();
    });
    return posted;
  }
  const int fd = ::timerfd_create(clockId, TFD_NONBLOCK | TFD_CLOEXEC);
  if (fd < 0) {
    auto steady = std::make_shared<SteadyCancellable>(context_);
    steady->timer_.expires_after(std::chrono::nanoseconds(nanos));
    steady->timer_.async_wait([body = std::move(body)](const std::error_code& error) {
      if (!error) body();
    });
    return steady;
  }
  itimerspec deadline{};
  deadline.it_value.tv_sec = static_cast<time_t>(nanos / 1'000'000'000);
  deadline.it_value.tv_nsec = static_cast<long>(nanos % 1'000'000'000);
  ::timerfd_settime(fd, 0, &deadline, nullptr);
  auto timer = std::make_shared<TimerFdCancellable>(context_, fd, std::move(body));
  timer->arm();
  return timer;
}

}  // namespace brimwell
