#include "linux/capture/gnome_shell.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <set>

#include "linux/capture/clipboard_targets.h"
#include "linux/capture/gnome_shell_windows.h"
#include "linux/deadline_bus.h"

namespace brimwell {
namespace {

Unexpected<Error> shellFailure(const Error& error) {
  if (error.code() == ENOENT) {
    return fail(
        "GNOME Shell doesn't answer for Brimwell: its Brimwell extension is off (brimwell setup "
        "gnome turns it on).");
  }
  return fail("GNOME Shell's Brimwell extension failed (" + error.message() + ").");
}

// Calls `member` with the arguments `append` adds, and hands the reply to the caller.
template <class Append>
Result<SdBusMessage> callShell(std::chrono::milliseconds limit, const char* member, Append append) {
  DeadlineBus bus(DeadlineBus::Kind::session, limit);
  auto message = bus.newCall(kGnomeShellBusName, kGnomeShellPath, kGnomeShellInterface, member);
  if (message && append(message.get()) < 0) message.reset();
  auto reply = bus.call(std::move(message));
  if (!reply) return shellFailure(reply.error());
  return reply;
}

Result<SdBusMessage> callShell(std::chrono::milliseconds limit, const char* member) {
  return callShell(limit, member, [](sd_bus_message*) { return 0; });
}

Result<std::uint64_t> windowNumber(const WindowId& id) {
  const auto number = gnomeWindowNumber(id);
  if (!number) return fail("The window is no longer open.");
  return *number;
}

// A frame's edge as the Shell takes it: whole pixels, well inside an int.
std::optional<std::int32_t> pixels(double value) {
  if (!std::isfinite(value) || std::abs(value) > 100000) return std::nullopt;
  return static_cast<std::int32_t>(std::lround(value));
}

Status done(const Result<SdBusMessage>& reply) {
  if (!reply) return Unexpected(reply.error());
  return {};
}

}  // namespace

Result<Desktop> GnomeShell::windows() const {
  auto reply = callShell(limit_, "Windows");
  if (!reply) return Unexpected(reply.error());
  const char* text = nullptr;
  if (sd_bus_message_read(reply->get(), "s", &text) < 0 || text == nullptr) {
    return fail("GNOME Shell's window list isn't readable.");
  }
  return parseGnomeWindows(text);
}

Status GnomeShell::place(const WindowId& id, const Rect& frame) const {
  const auto number = windowNumber(id);
  if (!number) return Unexpected(number.error());
  const auto x = pixels(frame.x), y = pixels(frame.y);
  const auto width = pixels(frame.width), height = pixels(frame.height);
  if (!x || !y || !width || !height || *width <= 0 || *height <= 0) {
    return fail("The recorded frame doesn't fit on any screen.");
  }
  return done(callShell(limit_, "Place", [&](sd_bus_message* m) {
    return sd_bus_message_append(m, "tiiii", *number, *x, *y, *width, *height);
  }));
}

Status GnomeShell::setState(const WindowId& id, bool minimized, bool fullScreen) const {
  const auto number = windowNumber(id);
  if (!number) return Unexpected(number.error());
  return done(callShell(limit_, "SetState", [&](sd_bus_message* m) {
    return sd_bus_message_append(m, "tbb", *number, static_cast<int>(minimized),
                                 static_cast<int>(fullScreen));
  }));
}

Status GnomeShell::activate(const WindowId& id) const {
  const auto number = windowNumber(id);
  if (!number) return Unexpected(number.error());
  return done(callShell(limit_, "Activate",
                        [&](sd_bus_message* m) { return sd_bus_message_append(m, "t", *number); }));
}

Status GnomeShell::pressControlS() const { return done(callShell(limit_, "PressControlS")); }

Result<std::vector<std::string>> GnomeShell::clipboardTypes() const {
  auto reply = callShell(limit_, "ClipboardTypes");
  if (!reply) return Unexpected(reply.error());
  sd_bus_message* m = reply->get();
  if (sd_bus_message_enter_container(m, 'a', "s") < 0) {
    return fail("GNOME Shell's clipboard types aren't readable.");
  }
  std::vector<std::string> offered;
  const char* type = nullptr;
  int r = 0;
  while (offered.size() < kGnomeMaxClipboardTypes && (r = sd_bus_message_read(m, "s", &type)) > 0) {
    const std::string_view name(type);
    if (name.size() <= kGnomeMaxTypeLength) offered.emplace_back(name);
  }
  if (r < 0) return fail("GNOME Shell's clipboard types aren't readable.");
  return dataTargets(offered);
}

Result<ClipboardRecord::Bytes> GnomeShell::clipboardData(const std::string& type,
                                                         std::int64_t ceiling) const {
  auto reply = callShell(limit_, "ClipboardData", [&](sd_bus_message* m) {
    return sd_bus_message_append(m, "s", type.c_str());
  });
  if (!reply) return Unexpected(reply.error());
  const void* data = nullptr;
  std::size_t size = 0;
  if (sd_bus_message_read_array(reply->get(), 'y', &data, &size) < 0) {
    return fail("GNOME Shell's clipboard data isn't readable.");
  }
  if (static_cast<std::int64_t>(size) > ceiling) return fail("The clipboard holds too much.");
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  return ClipboardRecord::Bytes(bytes, bytes + size);
}

Status GnomeShell::setClipboard(const std::string& type,
                                const ClipboardRecord::Bytes& bytes) const {
  return done(callShell(limit_, "SetClipboard", [&](sd_bus_message* m) {
    const int r = sd_bus_message_append(m, "s", type.c_str());
    return r < 0 ? r : sd_bus_message_append_array(m, 'y', bytes.data(), bytes.size());
  }));
}

Result<ClipboardRecord> GnomeClipboardSource::clipboard() {
  auto types = shell_.clipboardTypes();
  if (!types) return Unexpected(types.error());
  ClipboardRecord::Item item;
  ClipboardBudget budget(ceiling_);
  for (const auto& type : *types) {
    if (budget.stopped()) break;
    auto bytes = shell_.clipboardData(type, budget.left());
    if (!bytes) {
      // Too much for what is left: no later type is added either, so the record holds no part.
      budget.stop();
      break;
    }
    if (budget.take(static_cast<std::int64_t>(bytes->size()))) item.emplace(type, *bytes);
  }
  if (item.empty()) return ClipboardRecord{};
  return ClipboardRecord({std::move(item)});
}

std::string gnomeClipboardType(const ClipboardRecord::Item& item) {
  for (const char* preferred : {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain"}) {
    if (item.contains(preferred)) return preferred;
  }
  return item.empty() ? std::string() : item.begin()->first;
}

Status serveGnomeClipboard(const ClipboardRecord& record, int readyFd) {
  if (record.items.empty() || record.items.front().empty()) {
    return fail("The recorded clipboard holds nothing.");
  }
  const auto& item = record.items.front();
  const std::string type = gnomeClipboardType(item);
  if (auto set = GnomeShell().setClipboard(type, item.at(type)); !set) return set;
  static constexpr char kReady[] = "ready\n";
  (void)!::write(readyFd, kReady, sizeof kReady - 1);
  ::close(readyFd);
  return {};
}

}  // namespace brimwell
