// kitty's remote control, where the user turned it on with a socket (`--listen-on` or
// `listen_on`; kitty tells its shells the address in KITTY_LISTEN_ON): its `ls` command names
// each OS window with its tabs, titles and directories, which its processes alone can't tell
// apart. The reply is another program's text: parsed with bounds, every field checked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/workspace_records.h"
#include "linux/capture/emulator_windows.h"

namespace brimwell {

// Replies larger than this are refused; a hundred tabs take a few hundred KiB.
inline constexpr std::size_t kKittyReplyLimit = 8u << 20;

// The socket of a KITTY_LISTEN_ON address: "unix:PATH", or "unix:@NAME" for an abstract socket
// (returned as "@NAME"); nothing for a TCP address or anything else.
std::optional<std::string> kittySocketPath(std::string_view listenOn);

// The request for `ls`, framed as kitty reads it from its socket.
std::string kittyLsRequest();

// The OS windows of an `ls` reply, or the sentence saying why there are none. Pure.
Result<std::vector<EmulatorWindow>> parseKittyLsReply(std::string_view reply);

class KittySource {
 public:
  virtual ~KittySource() = default;
  // The OS windows of the kitty listening at `listenOn` (a KITTY_LISTEN_ON value).
  virtual Result<std::vector<EmulatorWindow>> osWindows(std::string_view listenOn) = 0;
};

// Asks over the socket, within `timeout` seconds, and only a kitty of this user.
class KittySocketSource final : public KittySource {
 public:
  explicit KittySocketSource(double timeout = 1.0) : timeout_(timeout) {}
  Result<std::vector<EmulatorWindow>> osWindows(std::string_view listenOn) override;

 private:
  double timeout_;
};

}  // namespace brimwell
