#include "core/helper/helper_client.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "core/helper/brimwell_helper_constants.h"

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// Waits until `fd` is ready for `events` or `deadline` passes; false on the deadline.
bool waitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, events, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(left.count()) + 1);
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return true;  // the next read or write reports it
  }
}

std::string seconds(double value) {
  char text[32];
  std::snprintf(text, sizeof(text), "%g", value);
  return text;
}

}  // namespace

HelperClientOptions HelperClientOptions::defaults() {
  return {std::string(BrimwellHelperConstants::socketPath),
          PeerRequirement{std::string(BrimwellHelperConstants::helperExecutablePath), 0, false},
          BrimwellHelperConstants::clientTimeout};
}

HelperClient::HelperClient(HelperClientOptions options)
    : options_(std::make_shared<const HelperClientOptions>(std::move(options))) {}

HelperClient::~HelperClient() {
  std::unique_lock lock(inFlight_->lock);
  inFlight_->idle.wait(lock, [&] { return inFlight_->calls == 0; });
}

Expected<HelperReply, HelperClient::Failure> HelperClient::exchange(
    const HelperClientOptions& options, const HelperRequest& request) {
  auto failure = [](std::string sentence, bool noSocket = false) {
    return Unexpected(Failure{noSocket, Error(std::move(sentence))});
  };
  const double limit = options.timeout(request.call);
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(limit));

  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (options.socketPath.size() >= sizeof(address.sun_path)) {
    return failure("The Brimwell helper's socket path is too long.");
  }
  std::memcpy(address.sun_path, options.socketPath.c_str(), options.socketPath.size() + 1);
  Descriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (fd.get() < 0)
    return failure("The Brimwell helper can't be reached (" + Error::posix(errno).message() + ").");
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    const int error = errno;
    if (error == ENOENT) return failure("The Brimwell helper is not installed.", true);
    return failure("The Brimwell helper can't be reached (" + Error::posix(error).message() + ").");
  }

  auto peer = readPeerIdentity(fd.get());
  std::optional<std::string> refused =
      peer ? whyRefused(*peer, options.helper)
           : std::optional<std::string>("its identity cannot be read");
  if (refused) {
    return failure("The process answering for the Brimwell helper is not the installed helper (" +
                   *refused + ").");
  }

  const std::string line = encodeRequest(request) + "\n";
  std::size_t sent = 0;
  const std::string late =
      "The Brimwell helper did not answer within " + seconds(limit) + " seconds.";
  while (sent < line.size()) {
    ssize_t count = ::send(fd.get(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (count > 0) {
      sent += static_cast<std::size_t>(count);
    } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!waitFor(fd.get(), POLLOUT, deadline)) return failure(late);
    } else {
      return failure("The Brimwell helper closed the connection (" + Error::posix(errno).message() +
                     ").");
    }
  }

  std::string received;
  char buffer[4096];
  for (;;) {
    auto newline = received.find('\n');
    if (newline != std::string::npos) {
      auto reply = parseReply(std::string_view(received).substr(0, newline));
      if (!reply) return failure(reply.error().message());
      if (reply->message) return failure(*reply->message);
      if (reply->id != request.id) {
        return failure("The Brimwell helper answered a different request.");
      }
      return *reply;
    }
    if (received.size() > maxHelperLineLength) {
      return failure("The Brimwell helper answered with something that isn't a reply.");
    }
    ssize_t count = ::recv(fd.get(), buffer, sizeof(buffer), 0);
    if (count > 0) {
      received.append(buffer, static_cast<std::size_t>(count));
    } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
      if (!waitFor(fd.get(), POLLIN, deadline)) return failure(late);
    } else {
      return failure("The Brimwell helper closed the connection without answering.");
    }
  }
}

void HelperClient::perform(HelperRequest request,
                           std::function<void(Expected<HelperReply, Failure>)> finished) {
  static std::atomic<std::int64_t> nextId = 1;
  request.id = nextId++;
  {
    std::lock_guard guard(inFlight_->lock);
    ++inFlight_->calls;
  }
  std::thread([options = options_, inFlight = inFlight_, request, finished = std::move(finished)] {
    finished(exchange(*options, request));
    std::lock_guard guard(inFlight->lock);
    if (--inFlight->calls == 0) inFlight->idle.notify_all();
  }).detach();
}

void HelperClient::call(HelperCall call, std::optional<bool> on, std::optional<std::int64_t> mode,
                        Completion<Status> done) {
  perform({0, call, on, mode}, [done = std::move(done)](Expected<HelperReply, Failure> reply) {
    if (!reply) return done(Unexpected(reply.error().error));
    done(Status());
  });
}

void HelperClient::state(Completion<HelperState> done) {
  perform({0, HelperCall::helperVersion, {}, {}},
          [done = std::move(done)](Expected<HelperReply, Failure> reply) {
            if (reply) return done(helper_state::Ready{});
            if (reply.error().noSocket) return done(helper_state::NotInstalled{});
            done(helper_state::Unreachable{reply.error().error.message()});
          });
}

void HelperClient::helperVersion(Completion<Result<std::int64_t>> done) {
  perform({0, HelperCall::helperVersion, {}, {}},
          [done = std::move(done)](Expected<HelperReply, Failure> reply) {
            if (!reply) return done(Unexpected(reply.error().error));
            if (!reply->version) return done(fail("The Brimwell helper did not say its version."));
            done(*reply->version);
          });
}

void HelperClient::lowPowerMode(Completion<Result<bool>> done) {
  perform({0, HelperCall::lowPowerMode, {}, {}},
          [done = std::move(done)](Expected<HelperReply, Failure> reply) {
            if (!reply) return done(Unexpected(reply.error().error));
            if (!reply->on)
              return done(fail("The Brimwell helper did not say whether Low Power Mode is on."));
            done(*reply->on);
          });
}

void HelperClient::batteryHibernateMode(Completion<Result<std::int64_t>> done) {
  perform({0, HelperCall::batteryHibernateMode, {}, {}},
          [done = std::move(done)](Expected<HelperReply, Failure> reply) {
            if (!reply) return done(Unexpected(reply.error().error));
            if (!reply->mode)
              return done(fail("The Brimwell helper did not say the hibernate mode."));
            done(*reply->mode);
          });
}

void HelperClient::beginLowPowerMode(Completion<Result<bool>> done) {
  perform({0, HelperCall::beginLowPowerMode, {}, {}}, [done = std::move(done)](
                                                          Expected<HelperReply, Failure> reply) {
    if (!reply) return done(Unexpected(reply.error().error));
    if (!reply->turnedOn)
      return done(fail("The Brimwell helper did not say whether it turned Low Power Mode on."));
    done(*reply->turnedOn);
  });
}

void HelperClient::setLowPowerMode(bool on, Completion<Status> done) {
  call(HelperCall::setLowPowerMode, on, std::nullopt, std::move(done));
}
void HelperClient::setBatteryHibernateMode(std::int64_t mode, Completion<Status> done) {
  call(HelperCall::setBatteryHibernateMode, std::nullopt, mode, std::move(done));
}
void HelperClient::sleepNow(Completion<Status> done) {
  call(HelperCall::sleepNow, {}, {}, std::move(done));
}
void HelperClient::endLowPowerMode(Completion<Status> done) {
  call(HelperCall::endLowPowerMode, {}, {}, std::move(done));
}
void HelperClient::beginSafeLanding(Completion<Status> done) {
  call(HelperCall::beginSafeLanding, {}, {}, std::move(done));
}
void HelperClient::endSafeLanding(Completion<Status> done) {
  call(HelperCall::endSafeLanding, {}, {}, std::move(done));
}

}  // namespace brimwell
