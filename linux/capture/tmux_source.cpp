#include "linux/capture/tmux_source.h"

#include <cerrno>

#include "linux/capture/child_command.h"
#include "linux/capture/tmux_panes.h"

namespace brimwell {

TerminalRecord TmuxCommandSource::tmux() {
  TerminalRecord record{.app = TerminalKind::tmux};
  // -u: without it, a client outside a UTF-8 locale turns tabs and every byte beyond ASCII in
  // the listing into "_", and the panes no longer read.
  std::vector<std::string> argv = {"tmux", "-u"};
  argv.insert(argv.end(), serverOptions_.begin(), serverOptions_.end());
  argv.insert(argv.end(), {"list-panes", "-a", "-F", std::string(kTmuxPaneFormat)});
  const auto run = runChild(argv, timeout_);
  if (!run) {
    record.status =
        run.error().code() == ENOENT ? CaptureStatus::notRunning : CaptureStatus::failed;
    return record;
  }
  if (run->exitStatus != 0) {
    record.status = CaptureStatus::notRunning;
    return record;
  }
  record.windows = parseTmuxPanes(run->out);
  return record;
}

}  // namespace brimwell
