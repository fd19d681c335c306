// The daemon's listening Unix-domain stream socket: the one handed over by the service manager
// (socket activation), or one bound at a path. Functions; call from the main thread at start-up.
#pragma once

#include <optional>
#include <string>

#include "brimwell/core/base/error.h"

namespace brimwell {

// The listening socket passed by the service manager to this process (LISTEN_PID/LISTEN_FDS),
// or absent when none was passed. The variables are removed so no child inherits them.
Result<std::optional<int>> activatedSocket();

// A new socket listening at `path`, open to every local user (the peer check decides who is
// served). A stale socket file at `path` is replaced; any other file there is left alone.
Result<int> bindSocket(const std::string& path);

}  // namespace brimwell
