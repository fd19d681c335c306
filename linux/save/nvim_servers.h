// NvimServers: where the save pass finds the user's Neovim servers. The /proc one looks at every
// `nvim` process of the user: the Unix socket its command line names (`--listen PATH`) or its
// environment gives (NVIM_LISTEN_ADDRESS), and every Unix socket it listens on (the server it
// started by itself, `v:servername`), as its network namespace's /proc/PID/net/unix lists them.
// TCP addresses are not used. Tests give their own servers. One thread at a time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brimwell {

class NvimServers {
 public:
  virtual ~NvimServers() = default;
  // The socket paths, each once.
  virtual std::vector<std::string> sockets() = 0;
};

class ProcNvimServers final : public NvimServers {
 public:
  ProcNvimServers(uid_t user, std::filesystem::path root = "/proc")
      : user_(user), root_(std::move(root)) {}
  std::vector<std::string> sockets() override;

 private:
  uid_t user_;
  std::filesystem::path root_;
};

// A listening Unix socket of /proc/net/unix.
struct UnixSocketEntry {
  std::uint64_t inode = 0;
  std::string path;  // empty for an unnamed socket, "@..." for an abstract one
  friend bool operator==(const UnixSocketEntry&, const UnixSocketEntry&) = default;
};

// The listening sockets in /proc/net/unix's text; malformed lines are skipped. Pure.
std::vector<UnixSocketEntry> parseListeningUnixSockets(std::string_view text);

// The socket path a command line (its NUL-separated arguments) names with --listen, or empty
// when it names none or a TCP address. Pure.
std::string listenSocketOf(std::string_view cmdline);

// Whether the executable at `path` is Neovim.
bool isNvimExecutable(std::string_view path);

}  // namespace brimwell
