// What tmux and /proc print: every pane the tmux reader takes names its window in its title, that
// title reads back as the names it was made of, and a /proc stat line reads as its own fields.
#include "fuzz/fuzz_check.h"
#include "linux/capture/process_table.h"
#include "linux/capture/tmux_panes.h"

using namespace brimwell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto text = fuzz::textOf(data, size);
  for (const auto& window : parseTmuxPanes(text)) {
    fuzz::check(!window.tabs.empty(), "a tmux window has a pane");
    for (const auto& tab : window.tabs) {
      fuzz::check(!tab.directory || !tab.directory->empty(), "an empty directory is absent");
      const auto name = parseTmuxTabTitle(tab.title);
      fuzz::check(!name || tmuxTabTitle(*name) == tab.title, "a title reads back as itself");
    }
  }
  if (const auto entry = parseProcStat(text)) {
    fuzz::check(entry->pid > 0 && entry->parent >= 0, "the pids are real ones");
    fuzz::check(text.find("(" + entry->command + ")") != std::string_view::npos,
                "the command name is the text between the parentheses");
  }
  return 0;
}
