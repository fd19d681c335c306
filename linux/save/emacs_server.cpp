#include "linux/save/emacs_server.h"

#include <cerrno>
#include <vector>

#include "linux/capture/child_command.h"

namespace brimwell {

Result<std::string> EmacsClientServer::eval(const std::string& form, double timeout) {
  // Without a server, "false" runs instead: an empty ALTERNATE_EDITOR would start a new daemon.
  std::vector<std::string> argv = {"emacsclient", "--alternate-editor=false"};
  if (!socket_.empty()) argv.push_back("--socket-name=" + socket_);
  argv.insert(argv.end(), {"--eval", form});
  auto answer = runChild(argv, timeout);
  if (!answer) {
    if (answer.error().code() != 0) return fail("emacsclient couldn't be started.");
    return fail("Emacs didn't answer in time.", ETIMEDOUT);
  }
  if (answer->exitStatus != 0) {
    return fail(
        "Emacs's server didn't take the request; Emacs saves through it once "
        "server-start has run.");
  }
  return std::move(answer->out);
}

}  // namespace brimwell
