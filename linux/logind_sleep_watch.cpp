#include "linux/logind_sleep_watch.h"

#include <chrono>

namespace brimwell {
namespace {

constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kManagerPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";

// The boolean a PrepareFor… signal carries, or nothing when it carries none.
std::optional<bool> flag(sd_bus_message* message) {
  int value = 0;
  if (sd_bus_message_read(message, "b", &value) < 0) return std::nullopt;
  return value != 0;
}

}  // namespace

std::shared_ptr<LogindSleepWatch> LogindSleepWatch::create(asio::io_context& context,
                                                           std::shared_ptr<BusConnection> bus,
                                                           SleepListener listener,
                                                           double delayBound) {
  return std::shared_ptr<LogindSleepWatch>(
      new LogindSleepWatch(context, std::move(bus), std::move(listener), delayBound));
}

LogindSleepWatch::LogindSleepWatch(asio::io_context& context, std::shared_ptr<BusConnection> bus,
                                   SleepListener listener, double delayBound)
    : bus_(std::move(bus)),
      listener_(std::move(listener)),
      delayBound_(delayBound),
      bound_(context) {}

bool LogindSleepWatch::start() {
  stop();
  const auto weak = weak_from_this();
  sleepSignal_ = bus_->subscribe(kLogind, kManagerPath, kManager, "PrepareForSleep",
                                 [weak](sd_bus_message* message) {
                                   const auto self = weak.lock();
                                   const auto goingToSleep = flag(message);
                                   if (self && goingToSleep) self->prepareForSleep(*goingToSleep);
                                 });
  shutdownSignal_ = bus_->subscribe(
      kLogind, kManagerPath, kManager, "PrepareForShutdown", [weak](sd_bus_message* message) {
        const auto self = weak.lock();
        if (self && flag(message) == true && self->listener_.willShutDown) {
          self->listener_.willShutDown();
        }
      });
  if (!sleepSignal_ || !shutdownSignal_) {
    stop();
    return false;
  }
  takeDelay();
  return true;
}

void LogindSleepWatch::stop() {
  sleepSignal_.reset();
  shutdownSignal_.reset();
  bound_.cancel();
  delay_.reset();
  ++round_;
}

void LogindSleepWatch::takeDelay() {
  if (delay_) return;
  delay_.emplace(*bus_, InhibitorRequest{"sleep", "Brimwell",
                                         "Brimwell remembers your workspace before the machine "
                                         "sleeps",
                                         "delay"});
}

void LogindSleepWatch::prepareForSleep(bool goingToSleep) {
  if (!goingToSleep) {
    ++round_;  // a `ready` from before the sleep no longer counts
    bound_.cancel();
    if (listener_.didWake) listener_.didWake();
    takeDelay();
    return;
  }
  const unsigned round = ++round_;
  const auto weak = weak_from_this();
  bound_.expires_after(std::chrono::milliseconds(static_cast<long long>(delayBound_ * 1000)));
  bound_.async_wait([weak, round](std::error_code error) {
    if (error) return;
    if (auto self = weak.lock()) self->letSleep(round);
  });
  if (!listener_.willSleep) return letSleep(round);
  listener_.willSleep([weak, round] {
    if (auto self = weak.lock()) self->letSleep(round);
  });
}

void LogindSleepWatch::letSleep(unsigned round) {
  if (round != round_) return;
  ++round_;
  bound_.cancel();
  delay_.reset();
}

}  // namespace brimwell
