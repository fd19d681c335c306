#include "linux/save/vim_servers.h"

#include <algorithm>
#include <cerrno>

#include "linux/capture/child_command.h"

namespace brimwell {

std::vector<std::string> parseVimServerList(std::string_view printed) {
  std::vector<std::string> names;
  while (!printed.empty() && names.size() < kMaxVimServers) {
    const auto end = printed.find('\n');
    auto line = printed.substr(0, end);
    printed.remove_prefix(end == std::string_view::npos ? printed.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.size() > kMaxVimServerName) continue;
    if (std::find(names.begin(), names.end(), line) == names.end()) names.emplace_back(line);
  }
  return names;
}

std::vector<std::string> VimClientServers::names(double timeout) {
  const auto listed = runChild({"vim", "--serverlist"}, timeout, 64 * 1024);
  if (!listed || listed->exitStatus != 0) return {};
  return parseVimServerList(listed->out);
}

Result<std::string> VimClientServers::eval(const std::string& server, const std::string& expression,
                                           double timeout) {
  auto answer = runChild({"vim", "--servername", server, "--remote-expr", expression}, timeout);
  if (!answer) {
    if (answer.error().code() != 0) return fail("vim couldn't be started.");
    return fail("Vim didn't answer in time.", ETIMEDOUT);
  }
  if (answer->exitStatus != 0) return fail("Vim's server didn't take the request.");
  return std::move(answer->out);
}

}  // namespace brimwell
