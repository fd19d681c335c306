#include "linux/capture/wayland_clipboard.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <cerrno>
#include <map>
#include <memory>
#include <vector>

#include "linux/capture/clipboard_targets.h"
#include "linux/capture/wayland_client.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"

namespace brimwell {
namespace {

using Deadline = WaylandClient::Deadline;

// Offers mean nothing to a client whose compositor lacks the protocol.
Result<std::unique_ptr<WaylandClient>> clipboardClient(const std::string& display, double timeout) {
  auto client = WaylandClient::open(display, timeout);
  if (!client) return Unexpected(client.error());
  if ((*client)->dataControl() == nullptr) {
    return fail("The compositor doesn't let Brimwell reach the clipboard.");
  }
  return client;
}

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

// The current selection as the device announces it: every offer's types, and which offer is
// the selection.
struct SelectionState {
  std::map<zwlr_data_control_offer_v1*, std::vector<std::string>> offers;
  zwlr_data_control_offer_v1* selection = nullptr;
  bool announced = false;
  bool finished = false;

  ~SelectionState() {
    for (auto& [offer, types] : offers) zwlr_data_control_offer_v1_destroy(offer);
  }
};

const zwlr_data_control_offer_v1_listener kOfferListener = {
    [](void* data, zwlr_data_control_offer_v1* offer, const char* type) {
      auto* state = static_cast<SelectionState*>(data);
      auto& types = state->offers[offer];
      if (types.size() < 256) types.emplace_back(type);
    }};

const zwlr_data_control_device_v1_listener kDeviceListener = {
    .data_offer =
        [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
          auto* state = static_cast<SelectionState*>(data);
          state->offers[offer];
          zwlr_data_control_offer_v1_add_listener(offer, &kOfferListener, state);
        },
    .selection =
        [](void* data, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1* offer) {
          auto* state = static_cast<SelectionState*>(data);
          state->selection = offer;
          state->announced = true;
        },
    .finished =
        [](void* data, zwlr_data_control_device_v1*) {
          static_cast<SelectionState*>(data)->finished = true;
        },
    .primary_selection = [](void*, zwlr_data_control_device_v1*, zwlr_data_control_offer_v1*) {},
};

enum class ReadEnd { complete, tooLarge, timedOut, failed };

// Reads `fd` to its end, at most `limit` bytes, before `deadline`.
ReadEnd readAll(int fd, std::int64_t limit, Deadline deadline, ClipboardRecord::Bytes& into) {
  char chunk[65536];
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int wait = WaylandClient::millisecondsLeft(deadline);
    const int ready = wait > 0 ? ::poll(&p, 1, wait) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return ReadEnd::timedOut;
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n < 0) return ReadEnd::failed;
    if (n == 0) return ReadEnd::complete;
    if (static_cast<std::int64_t>(into.size()) + n > limit) return ReadEnd::tooLarge;
    into.insert(into.end(), chunk, chunk + n);
  }
}

}  // namespace

Result<ClipboardRecord> WaylandClipboardSource::clipboard() {
  const Deadline deadline = WaylandClient::after(timeout_);
  auto opened = clipboardClient(display_, timeout_);
  if (!opened) return Unexpected(opened.error());
  WaylandClient& client = **opened;
  SelectionState state;
  auto* device = zwlr_data_control_manager_v1_get_data_device(client.dataControl(), client.seat());
  zwlr_data_control_device_v1_add_listener(device, &kDeviceListener, &state);
  const auto destroyDevice = [&] { zwlr_data_control_device_v1_destroy(device); };
  // The compositor announces the current selection as soon as the device exists.
  if (auto heard =
          client.dispatchUntil([&] { return state.announced || state.finished; }, deadline);
      !heard) {
    destroyDevice();
    return fail("The compositor didn't say what the clipboard holds in time.");
  }
  if (state.selection == nullptr) {
    destroyDevice();
    return ClipboardRecord{};
  }
  ClipboardRecord::Item item;
  ClipboardBudget budget(ceiling_);
  for (const auto& type : dataTargets(state.offers[state.selection])) {
    if (budget.stopped()) break;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) break;
    Fd readEnd(ends[0]), writeEnd(ends[1]);
    zwlr_data_control_offer_v1_receive(state.selection, type.c_str(), writeEnd.get());
    wl_display_flush(client.display());
    writeEnd.reset();  // the owner holds its own copy; the read ends when it closes that
    ClipboardRecord::Bytes bytes;
    const ReadEnd end = readAll(readEnd.get(), budget.left(), deadline, bytes);
    if (end == ReadEnd::tooLarge) {
      budget.stop();
      break;
    }
    if (end == ReadEnd::timedOut) break;
    if (end == ReadEnd::complete && budget.take(static_cast<std::int64_t>(bytes.size()))) {
      item.emplace(type, std::move(bytes));
    }
  }
  destroyDevice();
  (void)client.roundtrip(WaylandClient::after(0.2));
  if (item.empty()) return ClipboardRecord{};
  return ClipboardRecord({std::move(item)});
}

std::int64_t clipboardDigest(const ClipboardRecord& record) {
  if (record.items.empty()) return 0;
  std::uint64_t hash = 14695981039346656037ull;  // 64-bit FNV-1a
  const auto mix = [&](const auto& bytes) {
    for (const auto byte : bytes) {
      hash ^= static_cast<std::uint8_t>(byte);
      hash *= 1099511628211ull;
    }
    hash ^= 0xff;  // a separator no byte sequence can imitate by moving a boundary
    hash *= 1099511628211ull;
  };
  for (const auto& item : record.items) {
    for (const auto& [type, bytes] : item) {
      mix(type);
      mix(bytes);
    }
  }
  // A positive number, never 0, so that it can't be mistaken for an empty clipboard.
  const auto mark = static_cast<std::int64_t>(hash >> 1);
  return mark == 0 ? 1 : mark;
}

namespace {

struct Serving {
  const ClipboardRecord::Item* item = nullptr;
  bool cancelled = false;
};

// Writes `bytes` to the pipe a reader gave, giving up on a reader that stops reading.
void writeAll(int fd, const ClipboardRecord::Bytes& bytes) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  const Deadline deadline = WaylandClient::after(5);
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    pollfd p{fd, POLLOUT, 0};
    const int wait = WaylandClient::millisecondsLeft(deadline);
    const int ready = wait > 0 ? ::poll(&p, 1, wait) : 0;
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return;
    const ssize_t n = ::write(fd, bytes.data() + sent, bytes.size() - sent);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}

const zwlr_data_control_source_v1_listener kSourceListener = {
    .send =
        [](void* data, zwlr_data_control_source_v1*, const char* type, int fd) {
          const auto* serving = static_cast<Serving*>(data);
          if (const auto found = serving->item->find(type); found != serving->item->end()) {
            writeAll(fd, found->second);
          }
          ::close(fd);
        },
    .cancelled =
        [](void* data, zwlr_data_control_source_v1*) {
          static_cast<Serving*>(data)->cancelled = true;
        },
};

}  // namespace

Status serveWaylandClipboard(const std::string& display, const ClipboardRecord& record,
                             int readyFd) {
  if (record.items.empty() || record.items.front().empty()) {
    return fail("The recorded clipboard holds nothing.");
  }
  auto opened = clipboardClient(display, 5);
  if (!opened) return Unexpected(opened.error());
  WaylandClient& client = **opened;
  Serving serving{&record.items.front()};
  auto* source = zwlr_data_control_manager_v1_create_data_source(client.dataControl());
  zwlr_data_control_source_v1_add_listener(source, &kSourceListener, &serving);
  for (const auto& [type, bytes] : *serving.item) {
    zwlr_data_control_source_v1_offer(source, type.c_str());
  }
  auto* device = zwlr_data_control_manager_v1_get_data_device(client.dataControl(), client.seat());
  zwlr_data_control_device_v1_set_selection(device, source);
  if (auto set = client.roundtrip(WaylandClient::after(5)); !set || serving.cancelled) {
    zwlr_data_control_device_v1_destroy(device);
    zwlr_data_control_source_v1_destroy(source);
    return fail("The compositor didn't take the clipboard.");
  }
  static constexpr char kReady[] = "ready\n";
  (void)!::write(readyFd, kReady, sizeof kReady - 1);
  ::close(readyFd);
  // From here on the selection is ours until another client takes it or the compositor goes.
  constexpr double kAYear = 365.0 * 24 * 3600;
  (void)client.dispatchUntil([&] { return serving.cancelled; }, WaylandClient::after(kAYear));
  zwlr_data_control_device_v1_destroy(device);
  zwlr_data_control_source_v1_destroy(source);
  return {};
}

}  // namespace brimwell
