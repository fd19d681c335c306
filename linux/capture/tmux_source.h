// TmuxSource: the tmux server's sessions as a terminal record. The command source runs
// `tmux list-panes -a` as a child process with a deadline; tests give fixed records.
#pragma once

#include <string>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

class TmuxSource {
 public:
  virtual ~TmuxSource() = default;
  // The record of app tmux: ok with its windows, notRunning when no server answers (or tmux
  // isn't installed), failed when the server doesn't answer in time.
  virtual TerminalRecord tmux() = 0;
};

class TmuxCommandSource final : public TmuxSource {
 public:
  // `serverOptions` choose the server, such as {"-S", "/tmp/socket"}; empty means the user's
  // default server.
  explicit TmuxCommandSource(std::vector<std::string> serverOptions = {}, double timeout = 2)
      : serverOptions_(std::move(serverOptions)), timeout_(timeout) {}
  TerminalRecord tmux() override;

 private:
  std::vector<std::string> serverOptions_;
  double timeout_;
};

}  // namespace brimwell
