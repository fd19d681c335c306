// Bridges from callback-style collaborators to the engine's coroutines: a coroutine suspends
// until a completion is called (once, on any thread) and always resumes on the engine's own
// io_context, never inside the completion.
#pragma once

#include <asio/async_result.hpp>
#include <asio/awaitable.hpp>
#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <asio/use_awaitable.hpp>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace brimwell {

// Calls `start` with a completion taking a T; the awaiting coroutine resumes with that T.
template <class T, class Start>
asio::awaitable<T> awaitCompletion(asio::io_context& context, Start start) {
  return asio::async_initiate<const asio::use_awaitable_t<>&, void(T)>(
      [&context, start = std::move(start)](auto handler) mutable {
        using Handler = decltype(handler);
        auto slot = std::make_shared<std::optional<Handler>>(std::move(handler));
        std::function<void(T)> done = [&context, slot](T value) {
          asio::post(context, [slot, value = std::move(value)]() mutable {
            if (!slot->has_value()) return;
            Handler resume = std::move(**slot);
            slot->reset();
            std::move(resume)(std::move(value));
          });
        };
        start(std::move(done));
      },
      asio::use_awaitable);
}

// The same for completions without a value.
template <class Start>
asio::awaitable<void> awaitCompletion(asio::io_context& context, Start start) {
  return asio::async_initiate<const asio::use_awaitable_t<>&, void()>(
      [&context, start = std::move(start)](auto handler) mutable {
        using Handler = decltype(handler);
        auto slot = std::make_shared<std::optional<Handler>>(std::move(handler));
        std::function<void()> done = [&context, slot] {
          asio::post(context, [slot]() mutable {
            if (!slot->has_value()) return;
            Handler resume = std::move(**slot);
            slot->reset();
            std::move(resume)();
          });
        };
        start(std::move(done));
      },
      asio::use_awaitable);
}

// Moves the running coroutine to the next turn of `context`, so work started from a handler never
// runs inside it.
inline asio::awaitable<void> nextTurn(asio::io_context& context) {
  return asio::post(context, asio::use_awaitable);
}

// Holds one completion; only the first resume() reaches it, whichever thread calls first.
template <class T>
class ResumeOnce {
 public:
  void set(std::function<void(T)> completion) {
    std::lock_guard guard(lock_);
    completion_ = std::move(completion);
  }
  void resume(T value) {
    std::function<void(T)> completion;
    {
      std::lock_guard guard(lock_);
      completion = std::move(completion_);
      completion_ = nullptr;
    }
    if (completion) completion(std::move(value));
  }

 private:
  std::mutex lock_;
  std::function<void(T)> completion_;
};

}  // namespace brimwell
