// IdleExit: counts open connections and calls `onIdle` once `after` seconds have passed with none
// open. The count and the pending deadline are guarded by one lock and only ever changed under
// it; the deadline is watched by the tracker's own timer thread, which also calls `onIdle`. Any
// thread may call `start`, `connectionOpened` and `connectionClosed`.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace brimwell {

class IdleExit {
 public:
  IdleExit(double after, std::function<void()> onIdle);
  ~IdleExit();
  IdleExit(const IdleExit&) = delete;
  IdleExit& operator=(const IdleExit&) = delete;

  // Arms the timer when no connection is open.
  void start();
  // Counts a connection and cancels any pending timer.
  void connectionOpened();
  // Uncounts a connection (never below zero) and arms a fresh timer when none is left open.
  void connectionClosed();

  int open() const;

 private:
  using Clock = std::chrono::steady_clock;
  void schedule();  // lock held
  void watch();

  const double after_;
  const std::function<void()> onIdle_;
  mutable std::mutex lock_;
  std::condition_variable changed_;
  int open_ = 0;
  std::optional<Clock::time_point> deadline_;
  bool stopping_ = false;
  std::thread timer_;
};

}  // namespace brimwell
