#include "linux/capture/tmux_panes.h"

#include <map>
#include <string>
#include <utility>

namespace brimwell {

std::vector<TerminalWindowRecord> parseTmuxPanes(std::string_view output) {
  std::vector<TerminalWindowRecord> windows;
  std::map<std::pair<std::string, std::string>, std::size_t> indexOf;
  while (!output.empty()) {
    const auto end = output.find('\n');
    auto line = output.substr(0, end);
    output = end == std::string_view::npos ? std::string_view{} : output.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::vector<std::string_view> fields;
    for (std::size_t start = 0; fields.size() < 4;) {
      const auto tab = line.find('\t', start);
      if (tab == std::string_view::npos) break;
      fields.push_back(line.substr(start, tab - start));
      start = tab + 1;
      if (fields.size() == 4) fields.push_back(line.substr(start));  // the title may hold tabs
    }
    if (fields.size() != 5 || fields[1].empty()) continue;
    const auto key = std::pair{std::string(fields[0]), std::string(fields[1])};
    auto [slot, isNew] = indexOf.try_emplace(key, windows.size());
    if (isNew) windows.emplace_back();
    TerminalTabRecord tab{.title = tmuxTabTitle({std::string(fields[0]), std::string(fields[4])})};
    if (!fields[3].empty()) tab.directory = std::string(fields[3]);
    windows[slot->second].tabs.push_back(std::move(tab));
  }
  return windows;
}

std::string tmuxTabTitle(const TmuxWindowName& name) { return name.session + ":" + name.window; }

std::optional<TmuxWindowName> parseTmuxTabTitle(std::string_view title) {
  const std::size_t colon = title.find(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  return TmuxWindowName{std::string(title.substr(0, colon)), std::string(title.substr(colon + 1))};
}

}  // namespace brimwell
