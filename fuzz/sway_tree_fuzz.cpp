// What sway's IPC answers: a layout tree reads into windows that each have an id of digits and
// frames of a real size, every window listed once, and a refusal becomes one plain sentence.
#include <set>

#include "fuzz/fuzz_check.h"
#include "linux/capture/sway_ipc.h"
#include "linux/capture/sway_tree.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  if (const auto layout = parseSwayTree(text)) {
    std::set<WindowId> ids;
    for (const auto& [window, floating] : layout->windows) {
      fuzz::check(!window.id.empty() && ids.insert(window.id).second, "each window once");
      fuzz::check(!window.frame || (window.frame->width > 0 && window.frame->height > 0),
                  "a frame has a size");
      fuzz::check(!window.hidden || window.workspace.empty(), "the scratchpad is no workspace");
    }
    fuzz::check(!layout->focused || ids.contains(*layout->focused), "the focus is a window");
  }
  const std::string refusal = swayRefusal(text);
  fuzz::check(!refusal.empty() && refusal.back() == '.' && refusal.find('\n') == std::string::npos,
              "a refusal is one sentence");
  return 0;
}
