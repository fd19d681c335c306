#include "linux/restore/clipboard_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "brimwell/core/storage/brimwell_json.h"
#include "linux/child_spawn.h"

namespace brimwell {
namespace {

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t intern(xcb_connection_t* c, const std::string& name) {
  Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str()), nullptr));
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

void writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = ::write(fd, text.data(), text.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

// A server timestamp: the time of the PropertyNotify our own empty property change causes.
xcb_timestamp_t serverTime(xcb_connection_t* c, xcb_window_t window) {
  xcb_change_property(c, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0,
                      nullptr);
  xcb_flush(c);
  while (auto* event = xcb_wait_for_event(c)) {
    Reply<xcb_generic_event_t> owned(event);
    if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
      return reinterpret_cast<xcb_property_notify_event_t*>(event)->time;
    }
  }
  return XCB_CURRENT_TIME;
}

}  // namespace

Status serveClipboard(const std::string& display, const ClipboardRecord& record, int readyFd) {
  if (record.items.empty()) return fail("The recorded clipboard holds nothing to offer.");
  const auto& item = record.items.front();
  xcb_connection_t* c = xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr);
  std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> connection(c, xcb_disconnect);
  if (xcb_connection_has_error(c)) return fail("The X display can't be reached.");
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  const xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 0, 0, 1, 1, 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
  const xcb_atom_t clipboard = intern(c, "CLIPBOARD");
  const xcb_atom_t targets = intern(c, "TARGETS");
  const xcb_atom_t timestamp = intern(c, "TIMESTAMP");
  std::map<xcb_atom_t, const ClipboardRecord::Bytes*> offered;
  for (const auto& [name, bytes] : item) {
    if (const xcb_atom_t atom = intern(c, name); atom != XCB_ATOM_NONE) offered[atom] = &bytes;
  }
  if (clipboard == XCB_ATOM_NONE || offered.empty()) {
    return fail("The X display didn't name the clipboard's targets.");
  }
  const xcb_timestamp_t owned = serverTime(c, window);
  xcb_set_selection_owner(c, window, clipboard, owned);
  Reply<xcb_get_selection_owner_reply_t> owner(
      xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr));
  if (!owner || owner->owner != window) return fail("Another program took the clipboard first.");
  writeAll(readyFd, "ready\n");
  ::close(readyFd);

  // The most one ChangeProperty can carry, less its header.
  const std::size_t largest = std::size_t(xcb_get_maximum_request_length(c)) * 4 - 64;
  std::vector<xcb_atom_t> list = {targets, timestamp};
  for (const auto& entry : offered) list.push_back(entry.first);
  while (auto* event = xcb_wait_for_event(c)) {
    Reply<xcb_generic_event_t> held(event);
    const auto type = event->response_type & 0x7f;
    if (type == XCB_SELECTION_CLEAR) return {};
    if (type != XCB_SELECTION_REQUEST) continue;
    const auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
    const xcb_atom_t property =
        request->property != XCB_ATOM_NONE ? xcb_atom_t(request->property) : request->target;
    bool answered = request->selection == clipboard;
    if (!answered) {
    } else if (request->target == targets) {
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, XCB_ATOM_ATOM, 32,
                          static_cast<std::uint32_t>(list.size()), list.data());
    } else if (request->target == timestamp) {
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, XCB_ATOM_INTEGER,
                          32, 1, &owned);
    } else if (const auto found = offered.find(request->target);
               found != offered.end() && found->second->size() <= largest) {
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, request->target,
                          8, static_cast<std::uint32_t>(found->second->size()),
                          found->second->data());
    } else {
      answered = false;
    }
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request->time;
    notify.requestor = request->requestor;
    notify.selection = request->selection;
    notify.target = request->target;
    notify.property = answered ? property : xcb_atom_t(XCB_ATOM_NONE);
    xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&notify));
    xcb_flush(c);
  }
  return {};  // the display went away, and the selection with it
}

Result<ClipboardRecord> readClipboardRequest(int fd, std::size_t maxBytes) {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail("The clipboard to serve can't be read.");
    if (n == 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
    if (text.size() > maxBytes) return fail("The clipboard to serve is larger than allowed.");
  }
  auto record = BrimwellJSON::decode<ClipboardRecord>(text);
  if (!record) return fail("The clipboard to serve is not a clipboard record.");
  return record;
}

Status handClipboardToServer(const std::vector<std::string>& serverCommand,
                             const ClipboardRecord& record, double timeout) {
  const auto text = BrimwellJSON::encode(record);
  if (!text) return fail("The clipboard can't be written as JSON.");
  if (serverCommand.empty()) return fail("There is no clipboard server to start.");
  int input[2];
  int output[2];
  if (::pipe2(input, O_CLOEXEC) != 0) return failPosix(errno);
  if (::pipe2(output, O_CLOEXEC) != 0) {
    const int problem = errno;
    ::close(input[0]);
    ::close(input[1]);
    return failPosix(problem);
  }
  // The server leads a session of its own: it serves the clipboard after the restore ends.
  const auto started = spawnChild(
      {.argv = serverCommand, .input = input[0], .output = output[1], .ownSession = true});
  ::close(input[0]);
  ::close(output[1]);
  if (!started) {
    ::close(input[1]);
    ::close(output[0]);
    return fail("The clipboard server can't be started: " + started.error().message());
  }
  const pid_t pid = *started;
  ::fcntl(input[1], F_SETFL, O_NONBLOCK);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
  std::string_view left = *text;
  std::string answer;
  int writing = input[1];
  bool closed = false;
  while (answer.find('\n') == std::string::npos && !closed) {
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (remaining.count() <= 0) break;
    pollfd fds[2] = {{output[0], POLLIN, 0}, {writing, POLLOUT, 0}};
    if (::poll(fds, writing >= 0 ? 2 : 1, static_cast<int>(remaining.count())) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (writing >= 0 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = ::write(writing, left.data(), left.size());
      if (n > 0) left.remove_prefix(static_cast<std::size_t>(n));
      if (n < 0 && errno != EAGAIN && errno != EINTR) left = {};
      if (left.empty()) {
        ::close(writing);
        writing = -1;
      }
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      char buffer[512];
      const ssize_t n = ::read(output[0], buffer, sizeof buffer);
      if (n > 0) answer.append(buffer, static_cast<std::size_t>(n));
      if (n == 0) closed = true;
    }
  }
  if (writing >= 0) ::close(writing);
  ::close(output[0]);
  const auto line = answer.substr(0, answer.find('\n'));
  if (line == "ready") return {};  // the server goes on alone; its session is its own
  if (answer.find('\n') == std::string::npos) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!line.empty()) return fail(line);
  return fail("The clipboard server didn't take the clipboard within " +
              std::to_string(static_cast<int>(timeout)) + " seconds.");
}

}  // namespace brimwell
