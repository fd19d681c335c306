#include "linux/capture/kitty_remote.h"

#include <unistd.h>

#include "linux/capture/json_fields.h"
#include "linux/capture/local_stream.h"

namespace brimwell {
namespace {

using json_fields::Json;

// kitty's remote-control framing: a DCS string around the JSON.
constexpr std::string_view kOpen = "\x1bP@kitty-cmd";
constexpr std::string_view kClose = "\x1b\\";
constexpr std::size_t kMaxOsWindows = 256;
constexpr std::size_t kMaxTabs = 1024;
constexpr std::size_t kMaxTitle = 1024;
constexpr std::size_t kMaxPath = 4096;

const Json* arrayField(const Json& node, const char* key) {
  const auto found = node.find(key);
  return found != node.end() && found->is_array() ? &*found : nullptr;
}

// The element of `list` that `key` marks, else its first; null for an empty or missing list.
const Json* marked(const Json* list, const char* key) {
  if (!list || list->empty()) return nullptr;
  for (const auto& element : *list) {
    if (json_fields::flag(element, key)) return &element;
  }
  return &list->front();
}

TerminalTabRecord tabOf(const Json& tab) {
  TerminalTabRecord record{.title = json_fields::text(tab, "title", kMaxTitle)};
  if (const Json* window = marked(arrayField(tab, "windows"), "is_active_window")) {
    const auto cwd = json_fields::text(*window, "cwd", kMaxPath + 1);
    if (cwd.size() <= kMaxPath && cwd.starts_with('/')) record.directory = cwd;
  }
  return record;
}

}  // namespace

std::optional<std::string> kittySocketPath(std::string_view listenOn) {
  constexpr std::string_view scheme = "unix:";
  if (!listenOn.starts_with(scheme)) return std::nullopt;
  const auto path = listenOn.substr(scheme.size());
  if (path.size() < 2 || (path.front() != '/' && path.front() != '@')) return std::nullopt;
  return std::string(path);
}

std::string kittyLsRequest() {
  // The oldest version that has `ls`: kitty refuses a client newer than itself.
  return std::string(kOpen) + R"({"cmd":"ls","version":[0,14,0]})" + std::string(kClose);
}

Result<std::vector<EmulatorWindow>> parseKittyLsReply(std::string_view reply) {
  if (!reply.starts_with(kOpen) || !reply.ends_with(kClose)) {
    return fail("kitty's answer isn't a remote-control reply.");
  }
  reply = reply.substr(kOpen.size(), reply.size() - kOpen.size() - kClose.size());
  const auto envelope = Json::parse(reply, nullptr, false);
  if (!envelope.is_object()) return fail("kitty's answer isn't JSON.");
  if (!json_fields::flag(envelope, "ok")) return fail("kitty refused to list its windows.");
  const auto data = envelope.find("data");
  if (data == envelope.end()) return fail("kitty's answer lists no windows.");
  // kitty sends the list as JSON text inside the reply's JSON.
  const Json list =
      data->is_string() ? Json::parse(data->get_ref<const std::string&>(), nullptr, false) : *data;
  if (!list.is_array()) return fail("kitty's answer lists no windows.");
  if (list.size() > kMaxOsWindows) {
    return fail("kitty lists more than " + std::to_string(kMaxOsWindows) + " windows.");
  }
  std::vector<EmulatorWindow> windows;
  for (const auto& osWindow : list) {
    EmulatorWindow record;
    if (const auto id = json_fields::integer(osWindow, "platform_window_id"); id && *id >= 0) {
      record.platformWindowId = static_cast<std::uint64_t>(*id);
    }
    const Json* tabs = arrayField(osWindow, "tabs");
    if (tabs && tabs->size() > kMaxTabs) {
      return fail("A kitty window has more than " + std::to_string(kMaxTabs) + " tabs.");
    }
    if (tabs) {
      for (const auto& tab : *tabs) record.tabs.push_back(tabOf(tab));
    }
    if (const Json* active = marked(tabs, "is_active_tab")) {
      record.title = json_fields::text(*active, "title", kMaxTitle);
    }
    windows.push_back(std::move(record));
  }
  return windows;
}

Result<std::vector<EmulatorWindow>> KittySocketSource::osWindows(std::string_view listenOn) {
  const auto path = kittySocketPath(listenOn);
  if (!path) return fail("kitty listens on no local socket.");
  auto socket = LocalStream::connect(*path, "kitty", timeout_);
  if (!socket) return Unexpected(socket.error());
  // Anyone may bind an abstract name or a path in /tmp; only this user's kitty is asked.
  if (socket->peerUser() != ::getuid()) return fail("kitty's socket belongs to another user.");
  if (auto sent = socket->send(kittyLsRequest()); !sent) return Unexpected(sent.error());
  std::string reply;
  if (auto got = socket->receiveThrough(reply, kClose, kKittyReplyLimit); !got) {
    return Unexpected(got.error());
  }
  return parseKittyLsReply(reply);
}

}  // namespace brimwell
