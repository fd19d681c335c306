#include "linux/capture/app_assembly.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace brimwell {
namespace {

bool isNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-' ||
         static_cast<unsigned char>(c) >= 0x80;
}

bool standsAsWord(std::string_view title, std::string_view name) {
  for (auto at = title.find(name); at != std::string_view::npos; at = title.find(name, at + 1)) {
    const bool startsWord = at == 0 || !isNameCharacter(title[at - 1]);
    const auto end = at + name.size();
    const bool endsWord = end == title.size() || !isNameCharacter(title[end]);
    if (startsWord && endsWord) return true;
  }
  return false;
}

// The key grouping windows into applications: the pid, or the window class for a window whose
// process is unknown.
struct AppKey {
  std::optional<int> pid;
  std::string appClass;
  friend auto operator<=>(const AppKey&, const AppKey&) = default;
};

}  // namespace

std::string fileURL(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
      url += c;
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0xF];
    }
  }
  return url;
}

std::optional<std::string> documentURLFor(std::string_view title,
                                          const std::vector<std::string>& openFiles) {
  const std::string* best = nullptr;
  std::size_t bestLength = 0;
  for (const auto& file : openFiles) {
    const auto name = std::filesystem::path(file).filename().string();
    if (name.empty() || name.size() <= bestLength || !standsAsWord(title, name)) continue;
    best = &file;
    bestLength = name.size();
  }
  if (best == nullptr) return std::nullopt;
  return fileURL(*best);
}

std::vector<AppRecord> assembleApps(const Desktop& desktop,
                                    const std::map<int, ProcessIdentity>& identities) {
  std::vector<AppRecord> apps;
  std::map<AppKey, std::size_t> indexOf;
  for (const auto& window : desktop.windows) {
    const auto identity = window.pid ? identities.find(*window.pid) : identities.end();
    const bool known = identity != identities.end();
    const AppKey key{known ? window.pid : std::nullopt, known ? std::string{} : window.appClass};
    auto [slot, isNew] = indexOf.try_emplace(key, apps.size());
    if (isNew) {
      AppRecord app{.isHidden = true, .order = static_cast<int>(apps.size())};
      if (known) {
        app.bundleID = identity->second.bundleID;
        app.path = identity->second.path;
        app.name = identity->second.name;
      } else {
        app.name = window.appClass.empty() ? window.appInstance : window.appClass;
      }
      apps.push_back(std::move(app));
    }
    AppRecord& app = apps[slot->second];
    app.isHidden = app.isHidden && window.hidden;
    app.wasFrontmost = app.wasFrontmost || (desktop.active && *desktop.active == window.id);
    app.windows.push_back(
        {.title = window.title,
         .frame = window.frame,
         .isMinimized = window.hidden,
         .isFullScreen = window.fullScreen,
         .documentURL =
             known ? documentURLFor(window.title, identity->second.openFiles) : std::nullopt,
         .order = static_cast<int>(app.windows.size())});
  }
  return apps;
}

}  // namespace brimwell
