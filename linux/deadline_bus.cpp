#include "linux/deadline_bus.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

struct Answer {
  bool done = false;
  SdBusMessage reply;
};

int onDeadlineReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
  auto* answer = static_cast<Answer*>(userdata);
  answer->done = true;
  answer->reply.reset(sd_bus_message_ref(reply));
  return 0;
}

std::string secondsText(std::chrono::milliseconds limit) {
  const auto count = limit.count();
  if (count % 1000 == 0)
    return std::to_string(count / 1000) + (count == 1000 ? " second" : " seconds");
  return std::to_string(count) + " milliseconds";
}

}  // namespace

DeadlineBus::DeadlineBus(Kind kind, std::chrono::milliseconds limit)
    : limit_(limit), name_(kind == Kind::system ? "system" : "session") {
  sd_bus* raw = nullptr;
  const int opened = kind == Kind::system ? sd_bus_open_system(&raw) : sd_bus_open_user(&raw);
  bus_.reset(raw);
  if (opened < 0) {
    bus_.reset();
    broken_ = "the " + name_ + " bus can't be reached: " + std::strerror(-opened);
  }
}

SdBusMessage DeadlineBus::newCall(const char* destination, const char* path, const char* interface,
                                  const char* member) {
  if (!broken_.empty()) return nullptr;
  sd_bus_message* message = nullptr;
  if (sd_bus_message_new_method_call(bus_.get(), &message, destination, path, interface, member) <
      0) {
    return nullptr;
  }
  return SdBusMessage(message);
}

Result<SdBusMessage> DeadlineBus::call(SdBusMessage message) {
  if (!broken_.empty()) return fail(broken_);
  if (!message) return fail("the call to the " + name_ + " bus couldn't be made");
  const auto deadline = Clock::now() + limit_;
  Answer answer;
  sd_bus_slot* rawSlot = nullptr;
  const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(limit_).count();
  int r = sd_bus_call_async(bus_.get(), &rawSlot, message.get(), onDeadlineReply, &answer,
                            static_cast<std::uint64_t>(usec));
  SdBusSlot slot(rawSlot);
  if (r < 0) return fail("the " + name_ + " bus refused the call: " + std::strerror(-r));
  while (!answer.done) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
      broken_ = "the " + name_ + " bus didn't answer within " + secondsText(limit_);
      return fail(broken_);
    }
    r = sd_bus_process(bus_.get(), nullptr);
    if (r < 0) {
      broken_ = "the " + name_ + " bus went away: " + std::strerror(-r);
      return fail(broken_);
    }
    if (r > 0) continue;
    r = sd_bus_wait(bus_.get(),
                    static_cast<std::uint64_t>(
                        std::chrono::duration_cast<std::chrono::microseconds>(left).count()));
    if (r < 0 && r != -EINTR) {
      broken_ = "the " + name_ + " bus went away: " + std::strerror(-r);
      return fail(broken_);
    }
  }
  if (const sd_bus_error* error = sd_bus_message_get_error(answer.reply.get())) {
    if (sd_bus_error_has_names(error, SD_BUS_ERROR_SERVICE_UNKNOWN,
                               SD_BUS_ERROR_NAME_HAS_NO_OWNER)) {
      return fail("nothing on the " + name_ + " bus answers to " +
                      std::string(sd_bus_message_get_destination(message.get())
                                      ? sd_bus_message_get_destination(message.get())
                                      : "that name"),
                  ENOENT);
    }
    std::string text =
        error->message && *error->message ? error->message : (error->name ? error->name : "");
    return fail(text.empty() ? "the call failed" : text);
  }
  return std::move(answer.reply);
}

Result<std::string> DeadlineBus::stringProperty(const char* destination, const char* path,
                                                const char* interface, const char* property) {
  auto message = newCall(destination, path, "org.freedesktop.DBus.Properties", "Get");
  if (message && sd_bus_message_append(message.get(), "ss", interface, property) < 0) {
    message.reset();
  }
  auto reply = call(std::move(message));
  if (!reply) return Unexpected(std::move(reply).error());
  const char* value = nullptr;
  if (sd_bus_message_enter_container(reply->get(), 'v', "s") < 0 ||
      sd_bus_message_read(reply->get(), "s", &value) < 0) {
    return fail(std::string(property) + " isn't text");
  }
  return std::string(value);
}

std::optional<int> DeadlineBus::ownerProcess(const char* name) {
  auto message = newCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                         "GetConnectionUnixProcessID");
  if (message && sd_bus_message_append(message.get(), "s", name) < 0) message.reset();
  auto reply = call(std::move(message));
  std::uint32_t pid = 0;
  if (!reply || sd_bus_message_read(reply->get(), "u", &pid) < 0 || pid == 0 || pid > 0x3FFFFFFF) {
    return std::nullopt;
  }
  return static_cast<int>(pid);
}

}  // namespace brimwell
