// HelperConnection: one connection to the helper daemon, opened only to a peer that is the
// installed helper running as root, and kept for consecutive requests (the daemon answers one
// line at a time, in order). A failed exchange says whether the daemon can have acted on the
// request: only a request it provably never read counts as unprocessed, so a caller may send that
// one again without running an operation such as sleepNow twice. One thread at a time.
#pragma once

#include <chrono>
#include <string>

#include "brimwell/core/base/error.h"
#include "brimwell/core/helper/helper_wire.h"
#include "brimwell/core/helper/peer_identity.h"

namespace brimwell {

struct HelperConnectionFailure {
  bool noSocket = false;     // there is no daemon socket at all
  bool unprocessed = false;  // the daemon closed the connection without reading the request
  Error error;
};

class HelperConnection {
 public:
  using Clock = std::chrono::steady_clock;

  // Connects to `socketPath` and checks the peer against `helper` before anything is sent.
  static Expected<HelperConnection, HelperConnectionFailure> open(const std::string& socketPath,
                                                                  const PeerRequirement& helper);

  HelperConnection(HelperConnection&& other) noexcept;
  HelperConnection& operator=(HelperConnection&&) = delete;
  HelperConnection(const HelperConnection&) = delete;
  ~HelperConnection();

  // Whether the next request may go on this connection: its last exchange ended with the reply
  // to its own request, and the daemon has neither closed its end nor sent anything unasked.
  bool reusable() const;

  // Sends `request` and reads the one line that answers it, until `deadline` (`limit` is that
  // deadline in seconds, for the sentence). A reply carrying a message is a reply.
  Expected<HelperReply, HelperConnectionFailure> exchange(const HelperRequest& request,
                                                          Clock::time_point deadline, double limit);

 private:
  explicit HelperConnection(int fd) : fd_(fd) {}

  int fd_;
  bool broken_ = false;
};

}  // namespace brimwell
