#include "linux/save/nvim_servers.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <set>
#include <sstream>

#include "linux/capture/process_table.h"

namespace brimwell {
namespace {

constexpr std::size_t kMaxProcFile = 8u << 20;  // /proc/net/unix of a busy machine fits
constexpr std::size_t kMaxDescriptors = 4096;   // looked at per process

std::string readBounded(const std::filesystem::path& path) {
  std::string text;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return text;
  char buffer[16 * 1024];
  for (;;) {
    const auto got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() >= kMaxProcFile) break;
  }
  ::close(fd);
  return text;
}

// A path the server listens at: absolute, not TCP (host:port has no slash).
bool isSocketPath(std::string_view address) { return !address.empty() && address.front() == '/'; }

std::set<std::uint64_t> socketInodes(const std::filesystem::path& fdDirectory) {
  std::set<std::uint64_t> inodes;
  std::error_code error;
  std::size_t seen = 0;
  for (std::filesystem::directory_iterator it(fdDirectory, error), end;
       !error && it != end && seen < kMaxDescriptors; it.increment(error), ++seen) {
    std::error_code linkError;
    const auto target = std::filesystem::read_symlink(it->path(), linkError).string();
    constexpr std::string_view prefix = "socket:[";
    if (linkError || !target.starts_with(prefix) || !target.ends_with("]")) continue;
    std::uint64_t inode = 0;
    const auto* first = target.data() + prefix.size();
    const auto* last = target.data() + target.size() - 1;
    if (std::from_chars(first, last, inode).ptr == last) inodes.insert(inode);
  }
  return inodes;
}

}  // namespace

std::vector<UnixSocketEntry> parseListeningUnixSockets(std::string_view text) {
  // "Num: RefCount Protocol Flags Type St Inode [Path]"; a listening socket has the flag
  // __SO_ACCEPTCON (00010000). The path is the rest of the line and may hold spaces.
  std::vector<UnixSocketEntry> entries;
  std::size_t at = 0;
  while (at < text.size()) {
    auto end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const auto line = text.substr(at, end - at);
    at = end + 1;
    std::istringstream fields{std::string(line)};
    std::string num, refs, protocol, flags, type, state;
    std::uint64_t inode = 0;
    if (!(fields >> num >> refs >> protocol >> flags >> type >> state >> inode)) continue;
    if (num.empty() || num.back() != ':' || flags.size() != 8) continue;
    unsigned long value = 0;
    if (std::from_chars(flags.data(), flags.data() + flags.size(), value, 16).ptr !=
        flags.data() + flags.size()) {
      continue;
    }
    if ((value & 0x00010000UL) == 0) continue;
    std::string path;
    std::getline(fields, path);
    if (!path.empty() && path.front() == ' ') path.erase(0, 1);
    entries.push_back({.inode = inode, .path = std::move(path)});
  }
  return entries;
}

std::string listenSocketOf(std::string_view cmdline) {
  std::vector<std::string_view> args;
  std::size_t at = 0;
  while (at < cmdline.size()) {
    auto end = cmdline.find('\0', at);
    if (end == std::string_view::npos) end = cmdline.size();
    args.push_back(cmdline.substr(at, end - at));
    at = end + 1;
  }
  for (std::size_t i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == "--") break;
    if (args[i] == "--listen") return isSocketPath(args[i + 1]) ? std::string(args[i + 1]) : "";
  }
  return "";
}

bool isNvimExecutable(std::string_view path) {
  const auto slash = path.rfind('/');
  return path.substr(slash == std::string_view::npos ? 0 : slash + 1) == "nvim";
}

std::vector<std::string> ProcNvimServers::sockets() {
  std::vector<std::string> found;
  const auto add = [&](std::string path) {
    if (isSocketPath(path) && std::find(found.begin(), found.end(), path) == found.end()) {
      found.push_back(std::move(path));
    }
  };
  ProcProcessTable table(root_);
  for (const auto& process : table.processes()) {
    if (process.owner != user_) continue;
    const auto executable = table.executable(process.pid);
    if (!executable || !isNvimExecutable(*executable)) continue;
    const auto dir = root_ / std::to_string(process.pid);
    add(listenSocketOf(readBounded(dir / "cmdline")));
    if (auto address = table.environmentValue(process.pid, "NVIM_LISTEN_ADDRESS")) {
      add(std::move(*address));
    }
    const auto inodes = socketInodes(dir / "fd");
    if (inodes.empty()) continue;
    for (auto& entry : parseListeningUnixSockets(readBounded(dir / "net" / "unix"))) {
      if (inodes.contains(entry.inode)) add(std::move(entry.path));
    }
  }
  return found;
}

}  // namespace brimwell
