#include "linux/capture/wayland_keyboard.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

#include "fake-input-client-protocol.h"
#include "linux/capture/wayland_client.h"
#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace brimwell {
namespace {

// Linux input event codes, which a Wayland key event carries.
constexpr std::uint32_t kLeftControl = 29;
constexpr std::uint32_t kS = 31;
constexpr std::uint32_t kPressed = WL_KEYBOARD_KEY_STATE_PRESSED;
constexpr std::uint32_t kReleased = WL_KEYBOARD_KEY_STATE_RELEASED;
constexpr auto kClientsBindTheirKeyboard = std::chrono::milliseconds(200);

struct XkbContextDeleter {
  void operator()(xkb_context* c) const { xkb_context_unref(c); }
};
struct XkbKeymapDeleter {
  void operator()(xkb_keymap* k) const { xkb_keymap_unref(k); }
};

// The US keymap as text, and the mask of its Control modifier.
Result<std::pair<std::string, std::uint32_t>> usKeymap() {
  std::unique_ptr<xkb_context, XkbContextDeleter> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS));
  if (!context) return fail("The keyboard description can't be made.");
  const xkb_rule_names names{"evdev", "pc105", "us", "", ""};
  std::unique_ptr<xkb_keymap, XkbKeymapDeleter> keymap(
      xkb_keymap_new_from_names(context.get(), &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
  if (!keymap) return fail("The keyboard description can't be made.");
  const xkb_mod_index_t control = xkb_keymap_mod_get_index(keymap.get(), XKB_MOD_NAME_CTRL);
  char* text = xkb_keymap_get_as_string(keymap.get(), XKB_KEYMAP_FORMAT_TEXT_V1);
  if (text == nullptr || control == XKB_MOD_INVALID) {
    std::free(text);
    return fail("The keyboard description can't be made.");
  }
  std::string result(text);
  std::free(text);
  return std::make_pair(std::move(result), std::uint32_t{1} << control);
}

// A sealed memory file holding `text` and its terminating NUL, as the keymap request wants.
Result<int> keymapFile(const std::string& text) {
  const int fd = ::memfd_create("brimwell-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) return failPosix(errno);
  const std::size_t size = text.size() + 1;
  std::size_t written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd, text.c_str() + written, size - written);
    if (n <= 0) {
      ::close(fd);
      return fail("The keyboard description can't be handed over.");
    }
    written += static_cast<std::size_t>(n);
  }
  ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
  return fd;
}

std::uint32_t milliseconds() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

// KWin's fake input presses keys of the compositor's own keymap, by their input event codes.
Status pressWithFakeInput(WaylandClient& client, WaylandClient::Deadline deadline) {
  org_kde_kwin_fake_input* input = client.fakeInput();
  org_kde_kwin_fake_input_authenticate(input, "Brimwell",
                                       "Saves documents before the battery runs out.");
  org_kde_kwin_fake_input_keyboard_key(input, kLeftControl, kPressed);
  org_kde_kwin_fake_input_keyboard_key(input, kS, kPressed);
  org_kde_kwin_fake_input_keyboard_key(input, kS, kReleased);
  org_kde_kwin_fake_input_keyboard_key(input, kLeftControl, kReleased);
  return client.roundtrip(deadline);
}

}  // namespace

Status pressControlSOnWayland(const std::string& display, double timeout) {
  const auto deadline = WaylandClient::after(timeout);
  auto opened = WaylandClient::open(display, timeout);
  if (!opened) return Unexpected(opened.error());
  WaylandClient& client = **opened;
  if (client.virtualKeyboard() == nullptr && client.fakeInput() != nullptr) {
    return pressWithFakeInput(client, deadline);
  }
  if (client.virtualKeyboard() == nullptr) {
    return fail("The compositor doesn't let Brimwell press keys.");
  }
  auto keymap = usKeymap();
  if (!keymap) return Unexpected(keymap.error());
  auto file = keymapFile(keymap->first);
  if (!file) return Unexpected(file.error());
  auto* keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(client.virtualKeyboard(),
                                                                           client.seat());
  zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, *file,
                                 static_cast<std::uint32_t>(keymap->first.size() + 1));
  ::close(*file);
  // A seat without a keyboard gains one here; clients then bind their keyboard in answer to the
  // seat's new capabilities, and only a bound keyboard hears the keys.
  if (auto known = client.roundtrip(deadline); !known) {
    zwp_virtual_keyboard_v1_destroy(keyboard);
    return known;
  }
  std::this_thread::sleep_for(kClientsBindTheirKeyboard);
  const std::uint32_t control = keymap->second;
  zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), kLeftControl, kPressed);
  zwp_virtual_keyboard_v1_modifiers(keyboard, control, 0, 0, 0);
  zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), kS, kPressed);
  zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), kS, kReleased);
  zwp_virtual_keyboard_v1_key(keyboard, milliseconds(), kLeftControl, kReleased);
  zwp_virtual_keyboard_v1_modifiers(keyboard, 0, 0, 0, 0);
  Status delivered = client.roundtrip(deadline);
  zwp_virtual_keyboard_v1_destroy(keyboard);
  (void)client.roundtrip(deadline);
  if (!delivered) return delivered;
  return {};
}

}  // namespace brimwell
