#include "linux/bus_connection.h"

#include <poll.h>

#include <asio/post.hpp>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace brimwell {
namespace {

// Owned by a reply or match slot; freed when sd-bus destroys the slot.
template <class Handler>
void freeHandler(void* handler) {
  delete static_cast<Handler*>(handler);
}

int onReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
  auto& done = *static_cast<BusConnection::ReplyHandler*>(userdata);
  if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
    done(fail(busSentence(error, "The bus call failed.")));
  } else {
    done(reply);
  }
  return 0;
}

int onSignal(sd_bus_message* message, void* userdata, sd_bus_error*) {
  (*static_cast<BusConnection::SignalHandler*>(userdata))(message);
  return 0;
}

}  // namespace

std::string busSentence(const sd_bus_error* error, const std::string& fallback) {
  if (error != nullptr && error->message != nullptr && *error->message != '\0') {
    return error->message;
  }
  if (error != nullptr && error->name != nullptr) return error->name;
  return fallback;
}

Result<std::shared_ptr<BusConnection>> BusConnection::open(asio::io_context& context, Kind kind) {
  sd_bus* raw = nullptr;
  const int opened = kind == Kind::system ? sd_bus_open_system(&raw) : sd_bus_open_user(&raw);
  SdBus bus(raw);
  const char* name = kind == Kind::system ? "system" : "session";
  if (opened < 0) {
    return fail(std::string("The ") + name + " bus can't be reached: " + std::strerror(-opened) +
                ".");
  }
  const int fd = sd_bus_get_fd(bus.get());
  if (fd < 0) return fail(std::string("The ") + name + " bus has no connection.");
  auto connection = std::shared_ptr<BusConnection>(new BusConnection(context, std::move(bus), fd));
  connection->arm();
  return connection;
}

BusConnection::BusConnection(asio::io_context& context, SdBus bus, int fd)
    : bus_(std::move(bus)), descriptor_(context, fd), timer_(context) {}

BusConnection::~BusConnection() {
  // The descriptor is sd-bus's to close.
  descriptor_.release();
}

SdBusMessage BusConnection::newCall(const char* destination, const char* path,
                                    const char* interface, const char* member) {
  sd_bus_message* message = nullptr;
  if (sd_bus_message_new_method_call(bus_.get(), &message, destination, path, interface, member) <
      0) {
    return nullptr;
  }
  return SdBusMessage(message);
}

void BusConnection::call(SdBusMessage message, ReplyHandler done, double timeoutSeconds) {
  if (!message) return done(fail("The bus call couldn't be made."));
  auto* handler = new ReplyHandler(std::move(done));
  sd_bus_slot* slot = nullptr;
  const auto usec = static_cast<std::uint64_t>(std::llround(timeoutSeconds * 1e6));
  const int sent = sd_bus_call_async(bus_.get(), &slot, message.get(), onReply, handler, usec);
  if (sent < 0) {
    ReplyHandler failed = std::move(*handler);
    delete handler;
    return failed(
        fail(std::string("The bus call couldn't be sent: ") + std::strerror(-sent) + "."));
  }
  // The slot lives as long as the call; sd-bus frees the handler with it.
  sd_bus_slot_set_destroy_callback(slot, freeHandler<ReplyHandler>);
  sd_bus_slot_set_floating(slot, 1);
  sd_bus_slot_unref(slot);
  arm();
}

SdBusSlot BusConnection::subscribe(const char* sender, const char* path, const char* interface,
                                   const char* member, SignalHandler handler) {
  auto* owned = new SignalHandler(std::move(handler));
  sd_bus_slot* slot = nullptr;
  if (sd_bus_match_signal(bus_.get(), &slot, sender, path, interface, member, onSignal, owned) <
      0) {
    delete owned;
    return nullptr;
  }
  sd_bus_slot_set_destroy_callback(slot, freeHandler<SignalHandler>);
  // Adding the match waited for the bus's answer; whatever arrived meanwhile is queued.
  asio::post(descriptor_.get_executor(), [weak = weak_from_this()] {
    if (auto self = weak.lock()) self->process();
  });
  return SdBusSlot(slot);
}

void BusConnection::process() {
  int result = 0;
  do {
    result = sd_bus_process(bus_.get(), nullptr);
  } while (result > 0);
  if (result < 0) return;  // the connection is gone: nothing more will arrive
  arm();
}

void BusConnection::arm() {
  const int events = sd_bus_get_events(bus_.get());
  if (events < 0) return;
  const auto weak = weak_from_this();
  if ((events & POLLIN) && !reading_) {
    reading_ = true;
    descriptor_.async_wait(asio::posix::stream_descriptor::wait_read, [weak](std::error_code) {
      if (auto self = weak.lock()) {
        self->reading_ = false;
        self->process();
      }
    });
  }
  if ((events & POLLOUT) && !writing_) {
    writing_ = true;
    descriptor_.async_wait(asio::posix::stream_descriptor::wait_write, [weak](std::error_code) {
      if (auto self = weak.lock()) {
        self->writing_ = false;
        self->process();
      }
    });
  }
  std::uint64_t until = 0;  // CLOCK_MONOTONIC microseconds, which is the steady clock's
  if (sd_bus_get_timeout(bus_.get(), &until) >= 0 && until != UINT64_MAX) {
    timer_.expires_at(std::chrono::steady_clock::time_point(std::chrono::microseconds(until)));
    timer_.async_wait([weak](std::error_code error) {
      if (error) return;  // re-armed or gone
      if (auto self = weak.lock()) self->process();
    });
  }
}

}  // namespace brimwell
