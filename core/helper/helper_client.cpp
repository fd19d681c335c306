#include "brimwell/core/helper/helper_client.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <thread>

#include "brimwell/core/helper/brimwell_helper_constants.h"
#include "brimwell/core/helper/helper_connection.h"

namespace brimwell {

// The worker threads and the calls waiting for one. A worker exists while it has work or waits
// for some; it keeps its connection from one call to the next.
struct HelperClient::Workers {
  static constexpr int most = 4;  // the daemon bounds each user's connections

  // A job makes its exchange on the worker's connection and returns its completion, which the
  // worker runs once it counts as free again: a call made from a completion then goes to the
  // same worker and its connection.
  using Job = std::function<std::function<void()>(std::optional<HelperConnection>&)>;
  std::mutex lock;
  std::condition_variable wake;
  std::condition_variable ended;
  std::deque<Job> jobs;
  int running = 0;  // worker threads alive
  int waiting = 0;  // of those, the ones free for a job
  bool stopping = false;

  static void work(const std::shared_ptr<Workers>& self) {
    std::optional<HelperConnection> connection;
    std::unique_lock guard(self->lock);
    ++self->waiting;
    for (;;) {
      self->wake.wait(guard, [&] { return !self->jobs.empty() || self->stopping; });
      if (self->jobs.empty()) break;
      Job job = std::move(self->jobs.front());
      self->jobs.pop_front();
      --self->waiting;
      guard.unlock();
      std::function<void()> complete = job(connection);
      guard.lock();
      ++self->waiting;
      guard.unlock();
      complete();
      guard.lock();
    }
    --self->waiting;
    connection.reset();
    if (--self->running == 0) self->ended.notify_all();
  }
};

namespace {

using Clock = HelperConnection::Clock;

// One request on the worker's connection, opening a fresh one when there is none or the daemon
// has closed it, and sending it once more on a fresh connection when the daemon never read it.
Expected<HelperReply, HelperConnectionFailure> exchangeOn(
    std::optional<HelperConnection>& connection, const HelperClientOptions& options,
    const HelperRequest& request) {
  const double limit = options.timeout(request.call);
  const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                           std::chrono::duration<double>(limit));
  for (int attempt = 0;; ++attempt) {
    if (connection && !connection->reusable()) connection.reset();
    if (!connection) {
      auto opened = HelperConnection::open(options.socketPath, options.helper);
      if (!opened) return Unexpected(std::move(opened).error());
      connection.emplace(std::move(*opened));
    }
    auto reply = connection->exchange(request, deadline, limit);
    if (reply) return reply;
    connection.reset();
    if (!reply.error().unprocessed || attempt > 0) return reply;
  }
}

}  // namespace

HelperClientOptions HelperClientOptions::defaults() {
  return {std::string(BrimwellHelperConstants::socketPath),
          PeerRequirement{std::string(BrimwellHelperConstants::helperExecutablePath), 0, false},
          BrimwellHelperConstants::clientTimeout};
}

HelperClient::HelperClient(HelperClientOptions options)
    : options_(std::make_shared<const HelperClientOptions>(std::move(options))),
      workers_(std::make_shared<Workers>()) {}

HelperClient::~HelperClient() {
  std::unique_lock guard(workers_->lock);
  workers_->stopping = true;
  workers_->wake.notify_all();
  // Workers finish every queued call (a completion may still make another) before they end.
  workers_->ended.wait(guard, [&] { return workers_->running == 0; });
}

void HelperClient::perform(HelperRequest request,
                           std::function<void(Expected<HelperReply, Failure>)> finished) {
  static std::atomic<std::int64_t> nextId = 1;
  request.id = nextId++;
  Workers::Job job = [options = options_, request, finished = std::move(finished)](
                         std::optional<HelperConnection>& connection) mutable {
    auto reply = exchangeOn(connection, *options, request);
    Expected<HelperReply, Failure> result = Unexpected(Failure{false, Error("")});
    if (!reply) {
      result = Unexpected(Failure{reply.error().noSocket, reply.error().error});
    } else if (reply->message) {
      result = Unexpected(Failure{false, Error(*reply->message)});
    } else {
      result = std::move(*reply);
    }
    return std::function<void()>(
        [finished = std::move(finished), result = std::move(result)] { finished(result); });
  };
  std::lock_guard guard(workers_->lock);
  workers_->jobs.push_back(std::move(job));
  // A call never waits behind another while fewer than `most` workers are busy.
  if (static_cast<int>(workers_->jobs.size()) > workers_->waiting &&
      workers_->running < Workers::most) {
    ++workers_->running;
    std::thread([workers = workers_] { Workers::work(workers); }).detach();
  } else {
    workers_->wake.notify_one();
  }
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
