#include "linux/capture/chromium_family.h"

#include <nlohmann/json.hpp>

namespace brimwell {

std::string_view userDataFolder(BrowserKind kind) {
  switch (kind) {
    case BrowserKind::chromium:
      return "chromium";
    case BrowserKind::chrome:
      return "google-chrome";
    case BrowserKind::brave:
      return "BraveSoftware/Brave-Browser";
    case BrowserKind::edge:
      return "microsoft-edge";
    case BrowserKind::vivaldi:
      return "vivaldi";
    case BrowserKind::safari:
    case BrowserKind::arc:
    case BrowserKind::firefox:
      break;
  }
  return {};
}

std::optional<BrowserKind> chromiumKindOfExecutable(std::string_view path) {
  const std::filesystem::path file{std::string(path)};
  const std::string name = file.filename().string();
  if (name == "chromium" || name == "chromium-browser") return BrowserKind::chromium;
  if (name == "chrome") {
    const std::string folder = file.parent_path().string();
    if (folder.find("chromium") != std::string::npos) return BrowserKind::chromium;
    return BrowserKind::chrome;
  }
  if (name == "brave") return BrowserKind::brave;
  if (name == "msedge") return BrowserKind::edge;
  if (name == "vivaldi-bin") return BrowserKind::vivaldi;
  return std::nullopt;
}

std::vector<std::string> parseLocalStateProfiles(std::string_view json) {
  // Keys in the text's order, not sorted: the order the browser lists its profiles in.
  const auto document = nlohmann::ordered_json::parse(json, nullptr, false);
  if (document.is_discarded() || !document.is_object()) return {};
  const auto profile = document.find("profile");
  if (profile == document.end() || !profile->is_object()) return {};
  const auto cache = profile->find("info_cache");
  if (cache == profile->end() || !cache->is_object()) return {};
  std::vector<std::string> names;
  for (const auto& [name, info] : cache->items()) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name.find('\0') != std::string::npos) {
      continue;
    }
    names.push_back(name);
  }
  return names;
}

}  // namespace brimwell
