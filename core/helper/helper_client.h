// HelperClient: the HelperControlling that talks to the helper daemon over its Unix-domain socket.
// Each call opens its own connection, checks that the daemon is the installed helper running as
// root, sends one request and waits for its one reply until the call's deadline. Calls run on
// their own threads and complete there; any thread may make them. The destructor waits for calls
// still in flight.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "core/helper/helper_call.h"
#include "core/helper/helper_controlling.h"
#include "core/helper/helper_wire.h"
#include "core/helper/peer_identity.h"

namespace brimwell {

struct HelperClientOptions {
  std::string socketPath;
  // What the daemon must be: by default the installed helper executable, running as root.
  PeerRequirement helper;
  // The reply deadline of each call, in seconds.
  std::function<double(HelperCall)> timeout;

  static HelperClientOptions defaults();
};

class HelperClient : public HelperControlling {
 public:
  explicit HelperClient(HelperClientOptions options = HelperClientOptions::defaults());
  ~HelperClient() override;
  HelperClient(const HelperClient&) = delete;
  HelperClient& operator=(const HelperClient&) = delete;

  // notInstalled when there is no socket, ready when the daemon answers `helperVersion`,
  // unreachable with the reason otherwise.
  void state(Completion<HelperState> done) override;
  void lowPowerMode(Completion<Result<bool>> done) override;
  void setLowPowerMode(bool on, Completion<Status> done) override;
  void batteryHibernateMode(Completion<Result<std::int64_t>> done) override;
  void setBatteryHibernateMode(std::int64_t mode, Completion<Status> done) override;
  void sleepNow(Completion<Status> done) override;
  void beginLowPowerMode(Completion<Result<bool>> done) override;
  void endLowPowerMode(Completion<Status> done) override;
  void beginSafeLanding(Completion<Status> done) override;
  void endSafeLanding(Completion<Status> done) override;

  // The daemon's version, as `helperVersion` reports it.
  void helperVersion(Completion<Result<std::int64_t>> done);

 private:
  struct Failure {
    bool noSocket = false;
    Error error;
  };
  struct InFlight {
    std::mutex lock;
    std::condition_variable idle;
    int calls = 0;
  };

  // Sends `request` and waits for its reply, on a new thread; a reply message becomes a failure.
  void perform(HelperRequest request, std::function<void(Expected<HelperReply, Failure>)> finished);
  static Expected<HelperReply, Failure> exchange(const HelperClientOptions& options,
                                                 const HelperRequest& request);
  void call(HelperCall call, std::optional<bool> on, std::optional<std::int64_t> mode,
            Completion<Status> done);

  const std::shared_ptr<const HelperClientOptions> options_;
  const std::shared_ptr<InFlight> inFlight_ = std::make_shared<InFlight>();
};

}  // namespace brimwell
