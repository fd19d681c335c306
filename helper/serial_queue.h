// SerialQueue: runs submitted work one piece at a time, in the order it was submitted. `sync`
// runs the work on the calling thread once every earlier piece has finished, and returns after
// it; any thread may call it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

namespace brimwell {

class SerialQueue {
 public:
  SerialQueue() = default;
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;

  void sync(const std::function<void()>& work);

 private:
  std::mutex lock_;
  std::condition_variable turn_;
  std::uint64_t nextTicket_ = 0;
  std::uint64_t serving_ = 0;
};

}  // namespace brimwell
