// Peer identity over a Unix-domain socket, and the check that stands in for a code-signing
// requirement: who is at the other end (kernel credentials) and which executable it runs.
// Pure check plus one system read; any thread.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "brimwell/core/base/error.h"

namespace brimwell {

struct PeerIdentity {
  pid_t pid = 0;
  uid_t uid = 0;
  // The executable the peer runs; absent when this process may not read it.
  std::optional<std::string> executable;
  // Owner and permission bits of that executable, when it could be examined.
  std::optional<uid_t> executableOwner;
  std::optional<mode_t> executableMode;
};

// What a peer must be. An executable counts only when its owner (root) owns it and neither group
// nor others may write it, so only root can have put it in place (the stand-in for a signature's
// anchor).
struct PeerRequirement {
  // The installed executable the peer must run.
  std::string executable;
  // When present, the peer must run as this user; an executable this process may not examine
  // is then taken on the strength of the user alone (an unprivileged process cannot look at
  // a root daemon's executable).
  std::optional<uid_t> uid;
  // When true, a peer running as root passes without further checks.
  bool acceptsRoot = false;
  // Who must own the executable: root, but for a daemon a test runs as itself.
  uid_t executableOwner = 0;
};

// The identity of the process at the other end of the connected socket `fd`.
Result<PeerIdentity> readPeerIdentity(int fd);

// Absent when `peer` satisfies `requirement`; otherwise the reason, as a short phrase.
std::optional<std::string> whyRefused(const PeerIdentity& peer, const PeerRequirement& requirement);

// `path` with symbolic links and relative parts resolved where the file exists; else unchanged.
std::string canonicalExecutablePath(const std::string& path);

}  // namespace brimwell
