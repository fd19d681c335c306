#include "helper/idle_exit.h"

#include <algorithm>

namespace brimwell {

IdleExit::IdleExit(double after, std::function<void()> onIdle)
    : after_(after), onIdle_(std::move(onIdle)), timer_([this] { watch(); }) {}

IdleExit::~IdleExit() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
  }
  changed_.notify_all();
  timer_.join();
}

void IdleExit::start() {
  std::lock_guard guard(lock_);
  if (open_ == 0) schedule();
}

void IdleExit::connectionOpened() {
  std::lock_guard guard(lock_);
  open_ += 1;
  deadline_.reset();
  changed_.notify_all();
}

void IdleExit::connectionClosed() {
  std::lock_guard guard(lock_);
  const int remaining = open_ - 1;
  open_ = std::max(remaining, 0);
  if (remaining < 1) schedule();
}

int IdleExit::open() const {
  std::lock_guard guard(lock_);
  return open_;
}

void IdleExit::schedule() {
  deadline_ = Clock::now() +
              std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(after_));
  changed_.notify_all();
}

void IdleExit::watch() {
  std::unique_lock lock(lock_);
  while (!stopping_) {
    if (!deadline_) {
      changed_.wait(lock);
      continue;
    }
    const auto deadline = *deadline_;
    if (changed_.wait_until(lock, deadline, [&] { return stopping_ || deadline_ != deadline; })) {
      continue;  // stopped, cancelled or replaced
    }
    // The deadline passed: a connection counted before this point always prevents the exit.
    deadline_.reset();
    if (open_ != 0) continue;
    lock.unlock();
    onIdle_();
    lock.lock();
  }
}

}  // namespace brimwell
