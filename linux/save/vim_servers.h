// VimServers: how the save pass reaches running Vims: Vim's client-server, which registers every
// Vim built with +clientserver on the X display (gvim always, a Vim in a terminal when it was
// started with --servername) and evaluates an expression in one of them. The `vim` one runs the
// `vim` program on PATH as a bounded child process (`--serverlist`, `--servername NAME
// --remote-expr EXPR`) on this session's $DISPLAY; a Vim without +clientserver, or a session
// without an X display, lists no server. Callable from one thread at a time.
#pragma once

#include <string>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

// The most servers asked, and the longest name believed.
inline constexpr std::size_t kMaxVimServers = 64;
inline constexpr std::size_t kMaxVimServerName = 255;

class VimServers {
 public:
  virtual ~VimServers() = default;
  // The servers' names, each once; empty when none can be found within `timeout` seconds.
  virtual std::vector<std::string> names(double timeout) = 0;
  // What the server printed for `expression`; an answer that doesn't come within `timeout`
  // seconds fails with code ETIMEDOUT.
  virtual Result<std::string> eval(const std::string& server, const std::string& expression,
                                   double timeout) = 0;
};

class VimClientServers final : public VimServers {
 public:
  std::vector<std::string> names(double timeout) override;
  Result<std::string> eval(const std::string& server, const std::string& expression,
                           double timeout) override;
};

// The names in what `vim --serverlist` printed: one per line, blank, overlong and repeated
// lines left out, at most kMaxVimServers. Pure.
std::vector<std::string> parseVimServerList(std::string_view printed);

}  // namespace brimwell
