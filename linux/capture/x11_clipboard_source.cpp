#include "linux/capture/x11_clipboard_source.h"

#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "linux/capture/clipboard_targets.h"
#include "linux/capture/x11_display.h"

namespace brimwell {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = ClipboardRecord::Bytes;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using Owned = std::unique_ptr<T, FreeDeleter>;

// One read of the selection through a private window and property.
class SelectionReader {
 public:
  SelectionReader(X11Display& display, Clock::time_point deadline)
      : display_(display), c_(display.connection()), deadline_(deadline) {
    clipboard_ = display.atom("CLIPBOARD");
    targets_ = display.atom("TARGETS");
    incr_ = display.atom("INCR");
    property_ = display.atom("BRIMWELL_SELECTION");
    window_ = xcb_generate_id(c_);
    const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, window_, display.root(), 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
  }
  ~SelectionReader() { xcb_destroy_window(c_, window_); }

  bool owned() {
    Owned<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, clipboard_), nullptr));
    return reply && reply->owner != XCB_WINDOW_NONE;
  }

  // The names of the targets the owner offers, or nothing when it doesn't answer in time.
  std::optional<std::vector<std::string>> offeredTargets() {
    if (!convert(targets_)) return std::nullopt;
    Owned<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c_, xcb_get_property(c_, 1, window_, property_, XCB_ATOM_ATOM, 0, 4096), nullptr));
    if (!reply) return std::nullopt;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    for (int i = 0; i < count; ++i) cookies.push_back(xcb_get_atom_name(c_, atoms[i]));
    std::vector<std::string> names;
    for (const auto cookie : cookies) {
      Owned<xcb_get_atom_name_reply_t> name(xcb_get_atom_name_reply(c_, cookie, nullptr));
      if (!name) continue;
      names.emplace_back(xcb_get_atom_name_name(name.get()),
                         xcb_get_atom_name_name_length(name.get()));
    }
    return names;
  }

  // The bytes of `target`, when the owner gives them in time and they fit in `budget` (which
  // stops otherwise); nothing when the owner refuses, runs out of time or the budget stops.
  std::optional<Bytes> fetch(const std::string& target, ClipboardBudget& budget) {
    const xcb_atom_t atom = display_.atom(target.c_str());
    if (atom == XCB_ATOM_NONE || !convert(atom)) return std::nullopt;
    Owned<xcb_get_property_reply_t> head(xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0, 0), nullptr));
    if (!head || head->type == XCB_ATOM_NONE) return std::nullopt;
    if (head->type == incr_) return fetchIncrementally(budget);
    if (!budget.take(head->bytes_after)) return std::nullopt;
    Owned<xcb_get_property_reply_t> whole(xcb_get_property_reply(
        c_,
        xcb_get_property(c_, 1, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0,
                         (head->bytes_after + 3) / 4),
        nullptr));
    if (!whole) return std::nullopt;
    const auto* data = static_cast<const std::uint8_t*>(xcb_get_property_value(whole.get()));
    return Bytes(data, data + xcb_get_property_value_length(whole.get()));
  }

 private:
  // Asks the owner to put the selection as `target` on our property; true once it has.
  bool convert(xcb_atom_t target) {
    xcb_convert_selection(c_, window_, clipboard_, target, property_, XCB_CURRENT_TIME);
    xcb_flush(c_);
    Owned<xcb_generic_event_t> event = waitFor([&](const xcb_generic_event_t* e) {
      if ((e->response_type & 0x7F) != XCB_SELECTION_NOTIFY) return false;
      const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(e);
      return notify->requestor == window_ && notify->selection == clipboard_;
    });
    if (!event) return false;
    return reinterpret_cast<const xcb_selection_notify_event_t*>(event.get())->property ==
           property_;
  }

  // The INCR protocol: deleting the property asks for the next chunk; an empty chunk ends it.
  std::optional<Bytes> fetchIncrementally(ClipboardBudget& budget) {
    Owned<xcb_get_property_reply_t> sizeHint(xcb_get_property_reply(
        c_, xcb_get_property(c_, 0, window_, property_, incr_, 0, 1), nullptr));
    if (sizeHint && xcb_get_property_value_length(sizeHint.get()) >= 4) {
      const auto hint = *static_cast<const std::uint32_t*>(xcb_get_property_value(sizeHint.get()));
      if (std::int64_t(hint) > budget.left()) {
        budget.stop();
        return std::nullopt;
      }
    }
    xcb_delete_property(c_, window_, property_);
    Bytes bytes;
    for (;;) {
      xcb_flush(c_);
      Owned<xcb_generic_event_t> event = waitFor([&](const xcb_generic_event_t* e) {
        if ((e->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(e);
        return notify->window == window_ && notify->atom == property_ &&
               notify->state == XCB_PROPERTY_NEW_VALUE;
      });
      if (!event) return std::nullopt;
      Owned<xcb_get_property_reply_t> chunk(xcb_get_property_reply(
          c_, xcb_get_property(c_, 1, window_, property_, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24),
          nullptr));
      if (!chunk) return std::nullopt;
      const int length = xcb_get_property_value_length(chunk.get());
      if (length == 0) break;
      if (std::int64_t(bytes.size()) + length > budget.left()) {
        budget.stop();
        return std::nullopt;
      }
      const auto* data = static_cast<const std::uint8_t*>(xcb_get_property_value(chunk.get()));
      bytes.insert(bytes.end(), data, data + length);
    }
    if (!budget.take(std::int64_t(bytes.size()))) return std::nullopt;
    return bytes;
  }

  // The first event `wanted` accepts, or nothing at the deadline or when the connection breaks;
  // other events are dropped.
  Owned<xcb_generic_event_t> waitFor(
      const std::function<bool(const xcb_generic_event_t*)>& wanted) {
    for (;;) {
      while (xcb_generic_event_t* event = xcb_poll_for_event(c_)) {
        if (wanted(event)) return Owned<xcb_generic_event_t>(event);
        std::free(event);
      }
      if (xcb_connection_has_error(c_)) return nullptr;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
      if (left <= 0) return nullptr;
      pollfd readable{.fd = xcb_get_file_descriptor(c_), .events = POLLIN};
      ::poll(&readable, 1, static_cast<int>(left));
    }
  }

  X11Display& display_;
  xcb_connection_t* c_;
  Clock::time_point deadline_;
  xcb_atom_t clipboard_, targets_, incr_, property_;
  xcb_window_t window_;
};

}  // namespace

Result<ClipboardRecord> X11ClipboardSource::clipboard() {
  auto opened = X11Display::open(display_);
  if (!opened) return Unexpected(opened.error());
  SelectionReader reader(**opened, Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                                      std::chrono::duration<double>(timeout_)));
  if (!reader.owned()) return ClipboardRecord{};
  const auto offered = reader.offeredTargets();
  if (!offered) return fail("The clipboard's owner didn't say what it holds in time.");
  ClipboardRecord::Item item;
  ClipboardBudget budget(ceiling_);
  for (const auto& target : dataTargets(*offered)) {
    if (budget.stopped()) break;
    if (auto bytes = reader.fetch(target, budget)) item.emplace(target, std::move(*bytes));
  }
  if (item.empty()) return ClipboardRecord{};
  return ClipboardRecord({std::move(item)});
}

}  // namespace brimwell
