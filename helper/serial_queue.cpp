#include "helper/serial_queue.h"

namespace brimwell {

void SerialQueue::sync(const std::function<void()>& work) {
  std::unique_lock lock(lock_);
  const std::uint64_t ticket = nextTicket_++;
  turn_.wait(lock, [&] { return serving_ == ticket; });
  lock.unlock();

  // The next ticket is served even if the work throws.
  struct Advance {
    SerialQueue& queue;
    ~Advance() {
      std::lock_guard guard(queue.lock_);
      ++queue.serving_;
      queue.turn_.notify_all();
    }
  } advance{*this};
  work();
}

}  // namespace brimwell
