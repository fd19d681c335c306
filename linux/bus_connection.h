// BusConnection: one sd-bus connection (system or session bus) driven by an io_context, so its
// replies and signals are dispatched on that context's thread. sd-bus objects are not
// thread-safe: the connection, and everything made from it, belongs to that one thread.
// Owned through a std::shared_ptr; pending waits hold it weakly.
#pragma once

#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <asio/steady_timer.hpp>
#include <functional>
#include <memory>
#include <string>

#include "brimwell/core/base/error.h"
#include "linux/sd_bus_ptr.h"

namespace brimwell {

class BusConnection : public std::enable_shared_from_this<BusConnection> {
 public:
  enum class Kind { system, session };
  // A method reply, or the bus's sentence for why there is none.
  using ReplyHandler = std::function<void(Result<sd_bus_message*>)>;
  using SignalHandler = std::function<void(sd_bus_message*)>;

  // The bus of `kind` as this process's environment names it; fails with one sentence.
  static Result<std::shared_ptr<BusConnection>> open(asio::io_context& context, Kind kind);
  ~BusConnection();
  BusConnection(const BusConnection&) = delete;
  BusConnection& operator=(const BusConnection&) = delete;

  sd_bus* get() const { return bus_.get(); }

  // A new method call to fill in and pass to call(); empty when it can't be made.
  SdBusMessage newCall(const char* destination, const char* path, const char* interface,
                       const char* member);
  // Sends `message` and hands its reply to `done` exactly once, on the context's thread: the
  // reply, an error reply's sentence, or a sentence when no reply came within `timeoutSeconds`
  // or the connection went away.
  void call(SdBusMessage message, ReplyHandler done, double timeoutSeconds = 5);
  // Runs `handler` for every signal matching the given sender, path, interface and member; the
  // subscription lasts as long as the returned slot. Empty when the bus refused the match.
  SdBusSlot subscribe(const char* sender, const char* path, const char* interface,
                      const char* member, SignalHandler handler);
  // Has what was queued outside a handler (a signal just emitted) written as the socket allows.
  void wake() { arm(); }

 private:
  BusConnection(asio::io_context& context, SdBus bus, int fd);
  void process();
  void arm();

  SdBus bus_;
  asio::posix::stream_descriptor descriptor_;
  asio::steady_timer timer_;
  bool reading_ = false;
  bool writing_ = false;
};

// The bus's sentence for a failed call: its message, else its name, else `fallback`.
std::string busSentence(const sd_bus_error* error, const std::string& fallback);

}  // namespace brimwell
