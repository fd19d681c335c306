// HelperListener: accepts connections on the daemon's listening socket and serves each on its own
// thread with its own HelperService. A peer that fails the client requirement is told so once and
// disconnected before anything is read from it. Every accepted connection counts as open for
// the idle tracker until it is closed. `run` occupies the calling thread; `stop` may be called
// from any thread.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "core/helper/peer_identity.h"
#include "helper/command_runner.h"
#include "helper/helper_record_store.h"
#include "helper/idle_exit.h"

namespace brimwell {

struct HelperListenerDelegate {
  PeerRequirement clientRequirement;
  std::shared_ptr<CommandRunner> runner;
  std::shared_ptr<HelperRecordStore> store;
  std::int64_t version = 0;
  std::shared_ptr<IdleExit> idle;  // when absent, connections are not counted
  std::string pmset;               // the power tool the services run
};

class HelperListener {
 public:
  // Takes ownership of the listening socket `fd`.
  HelperListener(int fd, HelperListenerDelegate delegate);
  ~HelperListener();
  HelperListener(const HelperListener&) = delete;
  HelperListener& operator=(const HelperListener&) = delete;

  // Accepts and serves connections until `stop`; then disconnects every open connection and
  // returns once all their threads have ended.
  void run();
  void stop();

 private:
  void serve(int connection);
  void reapFinished();

  const int listenFd_;
  const int wakeFd_;
  const HelperListenerDelegate delegate_;
  std::mutex lock_;
  std::set<int> connections_;
  std::list<std::thread> threads_;
  std::list<std::thread::id> finished_;
};

}  // namespace brimwell
