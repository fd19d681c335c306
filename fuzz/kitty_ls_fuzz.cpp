// What kitty's remote control answers to `ls`: the OS windows read within their bounds, each
// directory an absolute path, every tab paired with at most one desktop window; a reply that
// can't be read is one plain sentence.
#include <set>

#include "fuzz/fuzz_check.h"
#include "linux/capture/kitty_remote.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto windows = parseKittyLsReply(fuzz::textOf(data, size));
  if (!windows) {
    const auto& sentence = windows.error().message();
    fuzz::check(
        !sentence.empty() && sentence.back() == '.' && sentence.find('\n') == std::string::npos,
        "a failure is one sentence");
    return 0;
  }
  fuzz::check(windows->size() <= 256, "at most 256 windows");
  std::vector<DesktopWindow> desktop;
  for (const auto& window : *windows) {
    fuzz::check(window.tabs.size() <= 1024 && window.title.size() <= 1024, "bounded windows");
    for (const auto& tab : window.tabs) {
      fuzz::check(tab.title.size() <= 1024, "bounded titles");
      fuzz::check(
          !tab.directory || (tab.directory->starts_with('/') && tab.directory->size() <= 4096),
          "directories are absolute paths");
    }
    desktop.push_back({.id = std::to_string(desktop.size()), .pid = 1, .title = window.title});
  }
  const auto paired = tabsByWindow(desktop, *windows);
  fuzz::check(paired.size() == windows->size(), "as many desktop windows as kitty's pair up");
  return 0;
}
