// Bridges from callback-style collaborators to the engine's coroutines: a coroutine suspends
// until a completion is called (once, on any thread) and always resumes on the engine's own
// io_context, never inside the completion. Completions reach the context through a gate the engine
// closes before its context goes away, so a collaborator that answers late answers no one.
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
#include <vector>

namespace brimwell {

// The way into the engine's io_context for completions from any thread, until it is closed. What
// arrives after that is kept, never run and never destroyed: destroying a coroutine's handler hands
// the coroutine back to its context to be torn down, and that context may be gone by then.
class CompletionGate {
 public:
  explicit CompletionGate(asio::io_context& context) : context_(&context) {}
  CompletionGate(const CompletionGate&) = delete;
  CompletionGate& operator=(const CompletionGate&) = delete;

  template <class Handler>
  void post(Handler handler) {
    std::lock_guard guard(lock_);
    if (context_ != nullptr) return asio::post(*context_, std::move(handler));
    keepForever(std::make_shared<Handler>(std::move(handler)));
  }
  // After this returns no handler reaches the context any more.
  void close() {
    std::lock_guard guard(lock_);
    context_ = nullptr;
  }

 private:
  // Late handlers stay alive, reachable, to the end of the process.
  static void keepForever(std::shared_ptr<void> handler) {
    static std::mutex lock;
    static auto* const kept = new std::vector<std::shared_ptr<void>>();
    std::lock_guard guard(lock);
    kept->push_back(std::move(handler));
  }

  std::mutex lock_;
  asio::io_context* context_;
};

// Calls `start` with a completion taking a T; the awaiting coroutine resumes with that T.
template <class T, class Start>
asio::awaitable<T> awaitCompletion(const std::shared_ptr<CompletionGate>& gate, Start start) {
  return asio::async_initiate<const asio::use_awaitable_t<>&, void(T)>(
      [gate, start = std::move(start)](auto handler) mutable {
        using Handler = decltype(handler);
        auto slot = std::make_shared<std::optional<Handler>>(std::move(handler));
        std::function<void(T)> done = [gate, slot](T value) {
          gate->post([slot, value = std::move(value)]() mutable {
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
asio::awaitable<void> awaitCompletion(const std::shared_ptr<CompletionGate>& gate, Start start) {
  return asio::async_initiate<const asio::use_awaitable_t<>&, void()>(
      [gate, start = std::move(start)](auto handler) mutable {
        using Handler = decltype(handler);
        auto slot = std::make_shared<std::optional<Handler>>(std::move(handler));
        std::function<void()> done = [gate, slot] {
          gate->post([slot]() mutable {
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
