// Firefox's session files as a hostile hand may leave them: the LZ4 block reader never decodes
// more than it was allowed, and every window the session parser reads is one a restore can use.
#include "fuzz/fuzz_check.h"
#include "linux/capture/firefox_sessions.h"

using namespace brimwell;

namespace {

void checkWindows(std::string_view json) {
  const auto windows = parseFirefoxSession(json);
  if (!windows) return;
  for (const auto& window : *windows) {
    fuzz::check(window.activeTabIndex >= 0 &&
                    (window.tabs.empty() || window.activeTabIndex < int(window.tabs.size())),
                "the selected tab is one of the window's tabs");
    for (const auto& tab : window.tabs) fuzz::check(!tab.url.empty(), "every tab has a URL");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto bytes = fuzz::textOf(data, size);
  constexpr std::size_t limit = 1 << 20;
  if (const auto decoded = decodeMozLz4(bytes, limit)) {
    fuzz::check(decoded->size() <= limit, "no more is decoded than allowed");
    checkWindows(*decoded);
  }
  checkWindows(bytes);
  for (const auto& profile : parseProfilesIni(bytes, "/home/ann/.mozilla/firefox")) {
    fuzz::check(!profile.empty(), "a listed profile has a path");
  }
  return 0;
}
