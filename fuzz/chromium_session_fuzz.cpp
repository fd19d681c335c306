// Chromium-family session files and Local State texts as a hostile hand may leave them: the
// command log never yields a command past the bytes, the replay never fails once the header is
// good, and every window it reads is one a restore can use.
#include "fuzz/fuzz_check.h"
#include "linux/capture/chromium_family.h"
#include "linux/capture/chromium_sessions.h"
#include "linux/capture/snss_log.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = fuzz::textOf(data, size);
  const auto log = splitSnssLog(bytes);
  const auto windows = parseChromiumSession(bytes);
  fuzz::check(log.has_value() == windows.has_value(), "only a bad header fails the replay");
  if (log) {
    std::size_t held = 8;
    for (const auto& command : log->commands) {
      fuzz::check(command.payload.data() >= bytes.data() &&
                      command.payload.data() + command.payload.size() <= bytes.data() + size,
                  "every payload lies within the file");
      held += 3 + command.payload.size();
    }
    fuzz::check(held <= size && (held == size) != log->cut, "a cut tail is all that is left out");
  }
  if (windows) {
    for (const auto& window : *windows) {
      fuzz::check(!window.tabs.empty(), "every window has a tab");
      fuzz::check(window.activeTabIndex >= 0 && window.activeTabIndex < int(window.tabs.size()),
                  "the selected tab is one of the window's tabs");
      for (const auto& tab : window.tabs) fuzz::check(!tab.url.empty(), "every tab has a URL");
      if (window.bounds) {
        fuzz::check(window.bounds->width > 0 && window.bounds->height > 0, "bounds have a size");
      }
    }
  }
  for (const auto& profile : parseLocalStateProfiles(bytes)) {
    fuzz::check(!profile.empty() && profile != ".." && profile.find('/') == std::string::npos,
                "a profile stays inside the user-data folder");
  }
  return 0;
}
