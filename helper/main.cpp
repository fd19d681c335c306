// brimwell-helper: the privileged daemon. It serves the Brimwell application over a Unix-domain
// socket (handed over by the service manager, or bound itself) and ends with status 0 after a
// quiet period without an open connection.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <mutex>

#include "brimwell/core/helper/brimwell_helper_constants.h"
#include "helper/helper_daemon_options.h"
#include "helper/helper_listener.h"
#include "helper/listening_socket.h"
#include "helper/polkit_authority.h"
#include "helper/process_command_runner.h"

int main(int argc, char** argv) {
  using namespace brimwell;
  ::signal(SIGPIPE, SIG_IGN);

  auto options = parseHelperDaemonOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options) {
    std::fprintf(stderr, "%s\n", options.error().message().c_str());
    std::fprintf(stderr, "Run brimwell-helper --help for its options.\n");
    return 64;
  }
  if (options->help) {
    std::fputs(helperUsage().c_str(), stdout);
    return 0;
  }

  const std::int64_t version = BrimwellHelperConstants::runningVersion();
  // The idle thread stops the listener only under this lock, and the listener is forgotten under
  // it before it is destroyed, so a late idle exit can never reach a closed listener.
  std::mutex listenerLock;
  HelperListener* listener = nullptr;  // guarded by listenerLock
  auto idle = std::make_shared<IdleExit>(options->idleExitAfter, [&listenerLock, &listener] {
    std::lock_guard guard(listenerLock);
    if (listener != nullptr) listener->stop();
  });
  auto store = std::make_shared<HelperRecordStore>(options->recordPath, ::geteuid());

  auto activated = activatedSocket();
  Result<int> fd = activated && *activated ? Result<int>(**activated)
                   : activated             ? bindSocket(options->socketPath)
                                           : Result<int>(Unexpected(activated.error()));
  if (!fd) {
    std::fprintf(stderr, "The Brimwell helper cannot listen on %s: %s\n",
                 options->socketPath.c_str(), fd.error().message().c_str());
    return 1;
  }

  HelperListener serving(
      *fd, {[] { return std::make_unique<PolkitAuthority>(); },
            std::make_shared<ProcessCommandRunner>(), store, version, idle, options->pmsetPath});
  {
    std::lock_guard guard(listenerLock);
    listener = &serving;
  }
  idle->start();
  serving.run();
  {
    std::lock_guard guard(listenerLock);
    listener = nullptr;
  }
  return 0;
}
