// HelperClient: the HelperControlling that talks to the helper daemon over its Unix-domain socket.
// Calls run on a few worker threads, each keeping its connection (checked, when opened, to be the
// installed helper running as root) for the calls that follow; a call waits for its one reply
// until its deadline. A connection the daemon has closed (its idle exit, its silence limit) is
// replaced before the next request, and a request the daemon provably never read is sent once
// more on a fresh connection; a request it may have read is never repeated. Calls complete on a
// worker thread; any thread may make them. The destructor waits for every call already made.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "brimwell/core/helper/helper_call.h"
#include "brimwell/core/helper/helper_controlling.h"
#include "brimwell/core/helper/helper_wire.h"
#include "brimwell/core/helper/peer_identity.h"

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
  struct Workers;

  // Sends `request` and waits for its reply, on a worker; a reply message becomes a failure.
  void perform(HelperRequest request, std::function<void(Expected<HelperReply, Failure>)> finished);
  void call(HelperCall call, std::optional<bool> on, std::optional<std::int64_t> mode,
            Completion<Status> done);

  const std::shared_ptr<const HelperClientOptions> options_;
  const std::shared_ptr<Workers> workers_;
};

}  // namespace brimwell
