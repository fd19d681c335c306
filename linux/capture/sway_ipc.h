// SwayIpc: what Brimwell asks of sway (or i3) over its IPC socket: the layout tree, and commands
// run on one container ("[con_id=…] …"). SwayWindowSource is the capture's window source on sway.
// Each call opens its own connection and is bounded by the timeout.
#pragma once

#include <string>

#include "brimwell/core/base/error.h"
#include "linux/capture/sway_tree.h"
#include "linux/capture/window_source.h"

namespace brimwell {

class SwayIpc {
 public:
  // `socketPath` empty: $SWAYSOCK, else $I3SOCK.
  explicit SwayIpc(std::string socketPath = {}, double timeout = 2);

  Result<SwayLayout> layout() const;
  // Runs `command` on container `id`; fails with the sentence sway's refusal comes to.
  Status run(const WindowId& id, const std::string& command) const;

 private:
  std::string socket_;
  double timeout_;
};

class SwayWindowSource final : public WindowSource {
 public:
  explicit SwayWindowSource(SwayIpc ipc = SwayIpc()) : ipc_(std::move(ipc)) {}
  Result<Desktop> desktop() override;

 private:
  SwayIpc ipc_;
};

// The sentence for sway's refusal of a command: its error text, when it gave one a sentence can
// carry, else a plain one.
std::string swayRefusal(std::string_view reply);

}  // namespace brimwell
