// HelperListener: accepts connections on the daemon's listening socket and serves each on its own
// thread with its own HelperService, asking the connection's own CallAuthority about every call
// (so a slow authority holds up only that connection). A user already holding the most
// connections allowed is told so once and disconnected; a connection whose request line stays
// incomplete too long, or that stays silent too long after a reply, is closed. Every accepted
// connection counts as open for the idle tracker until it is closed. `run` occupies the calling
// thread; `stop` may be called from any thread.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include "helper/call_authority.h"
#include "helper/command_runner.h"
#include "helper/helper_record_store.h"
#include "helper/helper_service.h"
#include "helper/idle_exit.h"
#include "helper/request_handler.h"

namespace brimwell {

struct HelperConnectionLimits {
  int perUser = 8;  // open connections of one non-root user
  std::chrono::milliseconds lineCompletes{std::chrono::seconds(10)};  // from a line's first byte
  std::chrono::milliseconds silence{std::chrono::seconds(60)};  // from accept or the last reply
};

struct HelperListenerDelegate {
  // Makes the authority of one connection; called on that connection's thread.
  std::function<std::unique_ptr<CallAuthority>()> authority;
  std::shared_ptr<CommandRunner> runner;
  std::shared_ptr<HelperRecordStore> store;
  std::int64_t version = 0;
  std::shared_ptr<IdleExit> idle;  // when absent, connections are not counted
  std::string pmset;               // the power tool the services run
  HelperConnectionLimits limits;
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
  void serve(int connection, uid_t uid);
  void converse(int connection, HelperService& service, const CallAuthorizer& authorize);
  void reapFinished();

  const int listenFd_;
  const int wakeFd_;
  const HelperListenerDelegate delegate_;
  std::mutex lock_;
  std::set<int> connections_;
  std::map<uid_t, int> perUser_;
  std::list<std::thread> threads_;
  std::list<std::thread::id> finished_;
};

}  // namespace brimwell
