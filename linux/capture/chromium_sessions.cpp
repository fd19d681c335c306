#include "linux/capture/chromium_sessions.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <system_error>

#include "brimwell/core/storage/read_file.h"
#include "linux/capture/pickle_reader.h"
#include "linux/capture/snss_log.h"

namespace brimwell {
namespace {

// The command ids of session files that decide windows and tabs; every other id is passed over.
enum Command : std::uint8_t {
  kSetTabWindow = 0,
  kSetTabIndexInWindow = 2,
  kPrunedFromBack = 5,
  kUpdateTabNavigation = 6,
  kSetSelectedNavigationIndex = 7,
  kSetSelectedTabInIndex = 8,
  kSetWindowType = 9,
  kPrunedFromFront = 11,
  kSetWindowBounds = 14,
  kTabClosed = 16,
  kWindowClosed = 17,
  kNavigationPathPruned = 24,
};

constexpr std::int32_t kNormalWindow = 0;

// Bounds on what one replay keeps, far above what a browser writes.
constexpr std::size_t kMaxWindows = 5'000;
constexpr std::size_t kMaxTabs = 50'000;
constexpr std::size_t kMaxNavigations = 200'000;

struct Navigation {
  std::string url;
  std::string title;
};

struct Tab {
  std::optional<std::int32_t> window;
  std::int32_t place = 0;
  std::optional<std::int32_t> selected;
  std::map<std::int32_t, Navigation> navigations;  // by history index
};

struct Window {
  std::int32_t type = kNormalWindow;
  std::int32_t selectedTab = 0;
  std::optional<Rect> bounds;
};

class Replay {
 public:
  void apply(const SnssCommand& command) {
    const auto at = [&](std::size_t field) { return int32At(command.payload, 4 * field); };
    const auto first = at(0);
    const auto second = at(1);
    switch (command.id) {
      case kSetTabWindow:
        if (second && first) {
          if (auto* tab = tabFor(*second); tab && windowFor(*first)) tab->window = *first;
        }
        break;
      case kSetTabIndexInWindow:
        if (auto* tab = first && second ? tabFor(*first) : nullptr) tab->place = *second;
        break;
      case kSetSelectedNavigationIndex:
        if (auto* tab = first && second ? tabFor(*first) : nullptr) tab->selected = *second;
        break;
      case kSetSelectedTabInIndex:
        if (auto* window = first && second ? windowFor(*first) : nullptr) {
          window->selectedTab = *second;
        }
        break;
      case kSetWindowType:
        if (auto* window = first && second ? windowFor(*first) : nullptr) window->type = *second;
        break;
      case kSetWindowBounds:
        if (const auto height = at(4); first && height) {
          if (auto* window = windowFor(*first)) {
            const auto width = *at(3);
            window->bounds.reset();
            if (width > 0 && *height > 0) {
              window->bounds = Rect{.x = double(*second),
                                    .y = double(*at(2)),
                                    .width = double(width),
                                    .height = double(*height)};
            }
          }
        }
        break;
      case kTabClosed:
        if (first) tabs_.erase(*first);
        break;
      case kWindowClosed:
        if (first) windows_.erase(*first);
        break;
      case kUpdateTabNavigation:
        updateNavigation(command.payload);
        break;
      case kPrunedFromBack:
        if (auto* tab = first && second ? findTab(*first) : nullptr) {
          pruned(*tab, *second, INT32_MAX);
        }
        break;
      case kPrunedFromFront:
        if (auto* tab = first && second ? findTab(*first) : nullptr) pruned(*tab, 0, *second);
        break;
      case kNavigationPathPruned:
        if (const auto count = at(2); first && count) {
          if (auto* tab = findTab(*first)) pruned(*tab, *second, *count);
        }
        break;
      default:
        break;
    }
  }

  std::vector<BrowserWindowRecord> windows() const {
    std::map<std::int32_t, std::vector<std::pair<std::int32_t, const Tab*>>> strips;
    for (const auto& [id, tab] : tabs_) {
      if (tab.window && windows_.count(*tab.window)) {
        strips[*tab.window].emplace_back(tab.place, &tab);
      }
    }
    std::vector<BrowserWindowRecord> records;
    for (const auto& [id, window] : windows_) {
      if (window.type != kNormalWindow) continue;
      auto& strip = strips[id];
      // Tabs by their place in the strip; for equal places, the one made first (a smaller id).
      std::stable_sort(strip.begin(), strip.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      BrowserWindowRecord record{.bounds = window.bounds};
      for (std::size_t i = 0; i < strip.size(); ++i) {
        auto shown = entryOf(*strip[i].second);
        if (!shown) continue;
        // The selected tab's place among the tabs kept; when it was left out, the kept tab before.
        if (static_cast<std::int64_t>(i) <= window.selectedTab) {
          record.activeTabIndex = static_cast<int>(record.tabs.size());
        }
        record.tabs.push_back(std::move(*shown));
      }
      if (!record.tabs.empty()) records.push_back(std::move(record));
    }
    return records;
  }

 private:
  Tab* findTab(std::int32_t id) {
    const auto found = tabs_.find(id);
    return found == tabs_.end() ? nullptr : &found->second;
  }
  Tab* tabFor(std::int32_t id) {
    if (auto* tab = findTab(id)) return tab;
    if (tabs_.size() >= kMaxTabs) return nullptr;
    return &tabs_[id];
  }
  Window* windowFor(std::int32_t id) {
    if (const auto found = windows_.find(id); found != windows_.end()) return &found->second;
    if (windows_.size() >= kMaxWindows) return nullptr;
    return &windows_[id];
  }

  void updateNavigation(std::string_view payload) {
    auto pickle = PickleReader::of(payload);
    if (!pickle) return;
    const auto tabID = pickle->readInt32();
    const auto index = pickle->readInt32();
    auto url = pickle->readString();
    if (!tabID || !index || !url) return;
    // A title cut off by the browser's limit on a command's size reads as none.
    auto title = pickle->readString16().value_or("");
    auto* tab = tabFor(*tabID);
    if (!tab) return;
    const auto existing = tab->navigations.find(*index);
    if (existing == tab->navigations.end()) {
      if (navigations_ >= kMaxNavigations) return;
      ++navigations_;
    }
    tab->navigations[*index] = {std::move(*url), std::move(title)};
  }

  // Drops `count` history entries from `index` on; the later ones move down to fill the gap.
  void pruned(Tab& tab, std::int32_t index, std::int32_t count) {
    if (index < 0 || count <= 0) return;
    const std::int64_t end = std::int64_t{index} + count;
    std::map<std::int32_t, Navigation> kept;
    for (auto& [at, navigation] : tab.navigations) {
      if (at < index) {
        kept.emplace(at, std::move(navigation));
      } else if (at >= end) {
        kept.emplace(static_cast<std::int32_t>(at - count), std::move(navigation));
      }
    }
    navigations_ -= tab.navigations.size() - kept.size();
    tab.navigations = std::move(kept);
    if (tab.selected && *tab.selected >= end) {
      tab.selected = static_cast<std::int32_t>(*tab.selected - count);
    } else if (tab.selected && *tab.selected >= index) {
      tab.selected = std::max(index - 1, 0);
    }
  }

  // The entry the tab shows: its selected one, else the nearest before it, else its last.
  static std::optional<TabRecord> entryOf(const Tab& tab) {
    if (tab.navigations.empty()) return std::nullopt;
    auto chosen = std::prev(tab.navigations.end());
    if (tab.selected) {
      const auto after = tab.navigations.upper_bound(*tab.selected);
      if (after != tab.navigations.begin()) chosen = std::prev(after);
    }
    if (chosen->second.url.empty()) return std::nullopt;
    return TabRecord{.url = chosen->second.url, .title = chosen->second.title};
  }

  std::map<std::int32_t, Tab> tabs_;
  std::map<std::int32_t, Window> windows_;
  std::size_t navigations_ = 0;
};

}  // namespace

Result<std::vector<BrowserWindowRecord>> parseChromiumSession(std::string_view bytes) {
  const auto log = splitSnssLog(bytes);
  if (!log) return Unexpected(log.error());
  Replay replay;
  for (const auto& command : log->commands) replay.apply(command);
  return replay.windows();
}

Result<std::vector<BrowserWindowRecord>> readChromiumSession(const std::filesystem::path& file) {
  // A longer file is read as if it had been cut there: the commands before the limit count.
  const auto bytes = readFileHead(file, kMaxChromiumSessionBytes);
  if (!bytes) return fail("The session file " + file.string() + " can't be read.");
  return parseChromiumSession(*bytes);
}

bool isSessionFileName(std::string_view name) {
  constexpr std::string_view prefix = "Session_";
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
  return std::all_of(name.begin() + prefix.size(), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::filesystem::path> newestSessionFile(const std::filesystem::path& profile) {
  std::optional<std::filesystem::path> newest;
  std::string newestNumber;
  std::error_code error;
  std::filesystem::directory_iterator entries(profile / "Sessions", error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    const std::string name = entries->path().filename().string();
    if (!isSessionFileName(name)) continue;
    std::string number = name.substr(name.find('_') + 1);
    number.erase(0, std::min(number.find_first_not_of('0'), number.size()));
    // Numbers of any length compare as numbers: a longer one is greater.
    if (!newest || number.size() > newestNumber.size() ||
        (number.size() == newestNumber.size() && number > newestNumber)) {
      newest = entries->path();
      newestNumber = std::move(number);
    }
  }
  if (newest) return newest;
  if (std::filesystem::is_regular_file(profile / "Current Session", error)) {
    return profile / "Current Session";
  }
  return std::nullopt;
}

}  // namespace brimwell
