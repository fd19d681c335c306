#include "helper/polkit_authority.h"

#include <systemd/sd-bus.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "linux/sd_bus_ptr.h"

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;
using Verdict = Authorization::Verdict;

Authorization unreachable(int error) { return {Verdict::unreachable, std::strerror(-error)}; }

// Appends the subject, action and flags of a CheckAuthorization call.
int appendQuestion(sd_bus_message* call, const PeerProcess& peer, HelperAction action) {
  const std::string id(polkitActionId(action));
  int r = sd_bus_message_append(call, "(sa{sv})", "unix-process", 3, "pid", "u",
                                static_cast<std::uint32_t>(peer.pid()), "start-time", "t",
                                static_cast<std::uint64_t>(peer.startTime()), "uid", "i",
                                static_cast<std::int32_t>(peer.uid()));
  if (r < 0) return r;
  // No details, no interaction (nobody could answer a password prompt in time), no cancel id.
  return sd_bus_message_append(call, "sa{ss}us", id.c_str(), 0, 0u, "");
}

struct Answer {
  bool done = false;
  int error = 0;
  std::string errorText;
  int authorized = 0;
};

int onReply(sd_bus_message* reply, void* userdata, sd_bus_error*) {
  auto* answer = static_cast<Answer*>(userdata);
  answer->done = true;
  if (const sd_bus_error* error = sd_bus_message_get_error(reply)) {
    answer->error = sd_bus_error_has_name(error, SD_BUS_ERROR_TIMEOUT) ? -ETIMEDOUT : -EPROTO;
    answer->errorText = error->message ? error->message : (error->name ? error->name : "");
    return 0;
  }
  int challenge = 0;
  int r = sd_bus_message_enter_container(reply, 'r', "bba{ss}");
  if (r >= 0) r = sd_bus_message_read(reply, "bb", &answer->authorized, &challenge);
  if (r < 0) {
    answer->error = r;
    answer->authorized = 0;
  }
  return 0;
}

}  // namespace

PolkitAuthority::PolkitAuthority(std::chrono::milliseconds limit) : limit_(limit) {}

// Closed without a flush: flushing a connection that is still authenticating waits for the
// bus's own 90-second limit, and nothing queued on it matters once its caller has gone.
PolkitAuthority::~PolkitAuthority() { sd_bus_close_unref(bus_); }

Authorization PolkitAuthority::authorize(const PeerProcess& peer, HelperAction action) {
  if (!peer.running()) return {Verdict::peerGone, ""};
  if (peer.uid() == 0) return {Verdict::allowed, ""};
  Authorization result = ask(peer, action);
  if (result.verdict == Verdict::unanswered || result.verdict == Verdict::unreachable) {
    bus_ = sd_bus_close_unref(bus_);
  }
  // polkit judged the process it was told of; it must be the one still at the other end.
  if (result.allowed() && !peer.running()) return {Verdict::peerGone, ""};
  return result;
}

Authorization PolkitAuthority::ask(const PeerProcess& peer, HelperAction action) {
  const auto deadline = Clock::now() + limit_;
  if (bus_ == nullptr) {
    int r = sd_bus_open_system(&bus_);
    if (r < 0) {
      bus_ = nullptr;
      return unreachable(r);
    }
  }
  sd_bus_message* raw = nullptr;
  int r = sd_bus_message_new_method_call(
      bus_, &raw, "org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority",
      "org.freedesktop.PolicyKit1.Authority", "CheckAuthorization");
  SdBusMessage call(raw);
  if (r < 0) return unreachable(r);
  if ((r = appendQuestion(call.get(), peer, action)) < 0) return unreachable(r);

  // Asked asynchronously and waited for here, so that the limit also covers connecting to the
  // bus, which a blocking call would wait for without end.
  Answer answer;
  sd_bus_slot* rawSlot = nullptr;
  const auto usec = std::chrono::duration_cast<std::chrono::microseconds>(limit_).count();
  r = sd_bus_call_async(bus_, &rawSlot, call.get(), onReply, &answer,
                        static_cast<std::uint64_t>(usec));
  SdBusSlot slot(rawSlot);
  if (r < 0) return unreachable(r);
  while (!answer.done) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) return {Verdict::unanswered, ""};
    r = sd_bus_process(bus_, nullptr);
    if (r < 0) return unreachable(r);
    if (r > 0) continue;
    r = sd_bus_wait(bus_, static_cast<std::uint64_t>(
                              std::chrono::duration_cast<std::chrono::microseconds>(left).count()));
    if (r < 0 && r != -EINTR) return unreachable(r);
  }
  if (answer.error == -ETIMEDOUT) return {Verdict::unanswered, ""};
  if (answer.error == -EPROTO) return {Verdict::unreachable, answer.errorText};
  if (answer.error < 0) return unreachable(answer.error);
  return {answer.authorized ? Verdict::allowed : Verdict::denied, ""};
}

}  // namespace brimwell
