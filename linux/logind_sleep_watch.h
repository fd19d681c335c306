// LogindSleepWatch: tells a SleepListener of logind's sleep, wake and shutdown signals, on the bus
// connection's thread. While awake it holds a logind delay lock on sleep, so that before every
// suspend the listener gets its moment (bounded by `sleepDelayBound`) before the lock goes and the
// machine sleeps; the lock is taken again after each wake. Owned through a std::shared_ptr.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <functional>
#include <memory>
#include <optional>

#include "linux/bus_connection.h"
#include "linux/logind_inhibitor.h"

namespace brimwell {

struct SleepListener {
  // The machine is about to sleep; call `ready` once it may (later calls do nothing).
  std::function<void(std::function<void()> ready)> willSleep;
  std::function<void()> didWake;
  // The machine is about to power off or restart.
  std::function<void()> willShutDown;
};

class LogindSleepWatch : public std::enable_shared_from_this<LogindSleepWatch> {
 public:
  static constexpr double sleepDelayBound = 5;  // seconds

  static std::shared_ptr<LogindSleepWatch> create(asio::io_context& context,
                                                  std::shared_ptr<BusConnection> bus,
                                                  SleepListener listener,
                                                  double delayBound = sleepDelayBound);
  LogindSleepWatch(const LogindSleepWatch&) = delete;
  LogindSleepWatch& operator=(const LogindSleepWatch&) = delete;

  // Subscribes to the signals and asks for the delay lock; false, and nothing is ever told, when
  // the bus refuses the subscription.
  bool start();
  // Nothing is told afterwards, and the lock is let go.
  void stop();
  // True while the delay lock is held.
  bool holdsDelay() const { return delay_ && delay_->held(); }

 private:
  LogindSleepWatch(asio::io_context& context, std::shared_ptr<BusConnection> bus,
                   SleepListener listener, double delayBound);
  void prepareForSleep(bool goingToSleep);
  void takeDelay();
  void letSleep(unsigned round);

  std::shared_ptr<BusConnection> bus_;
  SleepListener listener_;
  double delayBound_;
  asio::steady_timer bound_;
  SdBusSlot sleepSignal_;
  SdBusSlot shutdownSignal_;
  std::optional<LogindInhibitor> delay_;
  unsigned round_ = 0;  // which sleep a `ready` answers
};

}  // namespace brimwell
