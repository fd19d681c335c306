#include "brimwell/core/helper/peer_identity.h"

#include <limits.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace brimwell {

Result<PeerIdentity> readPeerIdentity(int fd) {
  struct ucred credentials {};
  socklen_t length = sizeof(credentials);
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &length) != 0) {
    return failPosix(errno);
  }
  PeerIdentity peer;
  peer.pid = credentials.pid;
  peer.uid = credentials.uid;
  const std::string link = "/proc/" + std::to_string(credentials.pid) + "/exe";
  char target[PATH_MAX];
  ssize_t size = ::readlink(link.c_str(), target, sizeof(target) - 1);
  if (size > 0) {
    peer.executable = std::string(target, static_cast<std::size_t>(size));
    struct stat status {};
    if (::stat(link.c_str(), &status) == 0) {
      peer.executableOwner = status.st_uid;
      peer.executableMode = status.st_mode;
    }
  }
  return peer;
}

std::optional<std::string> whyRefused(const PeerIdentity& peer,
                                      const PeerRequirement& requirement) {
  if (requirement.acceptsRoot && peer.uid == 0) return std::nullopt;
  if (requirement.uid && peer.uid != *requirement.uid) {
    return "it runs as user " + std::to_string(peer.uid) + " instead of user " +
           std::to_string(*requirement.uid);
  }
  if (!peer.executable) {
    if (requirement.uid) return std::nullopt;
    return "its executable cannot be examined";
  }
  if (*peer.executable != requirement.executable) {
    return "it runs " + *peer.executable + " instead of " + requirement.executable;
  }
  if (!peer.executableOwner || *peer.executableOwner != requirement.executableOwner ||
      !peer.executableMode || (*peer.executableMode & (S_IWGRP | S_IWOTH)) != 0) {
    return requirement.executableOwner == 0 ? "its executable is not owned and protected by root"
                                            : "its executable is not owned and protected by user " +
                                                  std::to_string(requirement.executableOwner);
  }
  return std::nullopt;
}

std::string canonicalExecutablePath(const std::string& path) {
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return path;
  return resolved;
}

}  // namespace brimwell
