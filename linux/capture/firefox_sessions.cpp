#include "linux/capture/firefox_sessions.h"

#include <lz4.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <nlohmann/json.hpp>
#include <system_error>

#include "brimwell/core/base/white_space.h"
#include "brimwell/core/storage/read_file.h"

namespace brimwell {
namespace {

constexpr std::string_view kMagic{"mozLz40\0", 8};
constexpr std::size_t kHeaderBytes = 12;

using Json = nlohmann::json;

// A whole number held by `value`, or nothing.
std::optional<long long> wholeNumber(const Json& value) {
  if (value.is_number_integer()) return value.get<long long>();
  if (value.is_number_float()) {
    const double number = value.get<double>();
    if (std::isfinite(number) && number == std::floor(number) && std::fabs(number) < 1e15) {
      return static_cast<long long>(number);
    }
  }
  return std::nullopt;
}

std::optional<double> finiteNumber(const Json& object, const char* key) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_number()) return std::nullopt;
  const double number = found->get<double>();
  if (!std::isfinite(number)) return std::nullopt;
  return number;
}

std::optional<Rect> boundsOf(const Json& window) {
  const auto x = finiteNumber(window, "screenX");
  const auto y = finiteNumber(window, "screenY");
  const auto width = finiteNumber(window, "width");
  const auto height = finiteNumber(window, "height");
  if (!x || !y || !width || !height) return std::nullopt;
  return Rect{.x = *x, .y = *y, .width = *width, .height = *height};
}

// The tab's current history entry: entries[index - 1], the last entry when no index is given.
std::optional<TabRecord> currentEntry(const Json& tab) {
  if (!tab.is_object()) return std::nullopt;
  const auto entries = tab.find("entries");
  if (entries == tab.end() || !entries->is_array() || entries->empty()) return std::nullopt;
  auto position = static_cast<long long>(entries->size());
  if (const auto index = tab.find("index"); index != tab.end()) {
    const auto number = wholeNumber(*index);
    if (!number) return std::nullopt;
    position = std::clamp<long long>(*number, 1, static_cast<long long>(entries->size()));
  }
  const Json& entry = (*entries)[static_cast<std::size_t>(position - 1)];
  if (!entry.is_object()) return std::nullopt;
  const auto url = entry.find("url");
  if (url == entry.end() || !url->is_string() || url->get_ref<const std::string&>().empty()) {
    return std::nullopt;
  }
  TabRecord record{.url = url->get<std::string>()};
  if (const auto title = entry.find("title"); title != entry.end() && title->is_string()) {
    record.title = title->get<std::string>();
  }
  return record;
}

Result<BrowserWindowRecord> windowOf(const Json& window) {
  if (!window.is_object()) return fail("The Firefox session lists a window that isn't one.");
  BrowserWindowRecord record{.bounds = boundsOf(window)};
  const auto tabs = window.find("tabs");
  if (tabs == window.end()) return record;
  if (!tabs->is_array()) return fail("The Firefox session lists a window without a tab list.");
  long long selected = 1;
  if (const auto found = window.find("selected"); found != window.end()) {
    selected = wholeNumber(*found).value_or(1);
  }
  for (std::size_t i = 0; i < tabs->size(); ++i) {
    auto tab = currentEntry((*tabs)[i]);
    if (!tab) continue;
    // The selected tab's place among the tabs kept; when it was left out, the kept tab before it.
    if (static_cast<long long>(i) < selected) record.activeTabIndex = int(record.tabs.size());
    record.tabs.push_back(std::move(*tab));
  }
  if (record.activeTabIndex >= int(record.tabs.size())) record.activeTabIndex = 0;
  return record;
}

}  // namespace

Result<std::string> decodeMozLz4(std::string_view bytes, std::size_t maxDecoded) {
  if (bytes.size() < kHeaderBytes) return fail("The Firefox session file is too short.");
  if (bytes.substr(0, kMagic.size()) != kMagic) {
    return fail("The Firefox session file doesn't start with Firefox's header.");
  }
  std::uint32_t declared = 0;
  for (int i = 3; i >= 0; --i) {
    declared = (declared << 8) | static_cast<unsigned char>(bytes[kMagic.size() + i]);
  }
  if (declared > maxDecoded || declared > static_cast<std::uint32_t>(INT_MAX)) {
    return fail("The Firefox session file declares more than Brimwell reads.");
  }
  const auto compressed = bytes.substr(kHeaderBytes);
  if (compressed.size() > static_cast<std::size_t>(INT_MAX)) {
    return fail("The Firefox session file is larger than Brimwell reads.");
  }
  std::string text(declared, '\0');
  const int got =
      LZ4_decompress_safe(compressed.data(), text.data(), static_cast<int>(compressed.size()),
                          static_cast<int>(declared));
  if (got < 0 || static_cast<std::uint32_t>(got) != declared) {
    return fail("The Firefox session file's compressed data is damaged.");
  }
  return text;
}

Result<std::vector<BrowserWindowRecord>> parseFirefoxSession(std::string_view json) {
  const Json document = Json::parse(json, nullptr, false);
  if (document.is_discarded()) return fail("The Firefox session isn't valid JSON.");
  if (!document.is_object()) return fail("The Firefox session doesn't list its windows.");
  const auto windows = document.find("windows");
  if (windows == document.end() || !windows->is_array()) {
    return fail("The Firefox session doesn't list its windows.");
  }
  std::vector<BrowserWindowRecord> records;
  for (const auto& window : *windows) {
    auto record = windowOf(window);
    if (!record) return Unexpected(record.error());
    records.push_back(std::move(*record));
  }
  return records;
}

std::vector<std::filesystem::path> parseProfilesIni(std::string_view ini,
                                                    const std::filesystem::path& firefoxDir) {
  std::vector<std::filesystem::path> profiles;
  bool inProfile = false;
  std::optional<std::string> path;
  bool relative = false;
  const auto finish = [&] {
    if (inProfile && path && !path->empty()) {
      std::filesystem::path profile = relative ? firefoxDir / *path : std::filesystem::path(*path);
      if (std::find(profiles.begin(), profiles.end(), profile) == profiles.end()) {
        profiles.push_back(std::move(profile));
      }
    }
    path.reset();
    relative = false;
  };
  std::size_t start = 0;
  while (start <= ini.size()) {
    auto end = ini.find('\n', start);
    if (end == std::string_view::npos) end = ini.size();
    const std::string line(trimWhiteSpace(ini.substr(start, end - start)));
    start = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      finish();
      inProfile = line.rfind("[Profile", 0) == 0;
      continue;
    }
    const auto equals = line.find('=');
    if (!inProfile || equals == std::string::npos) continue;
    const std::string key(trimWhiteSpace(std::string_view(line).substr(0, equals)));
    const std::string value(trimWhiteSpace(std::string_view(line).substr(equals + 1)));
    if (key == "Path") path = value;
    if (key == "IsRelative") relative = value == "1";
  }
  finish();
  return profiles;
}

std::optional<std::vector<std::filesystem::path>> firefoxProfiles(
    const std::filesystem::path& home) {
  const auto firefoxDir = home / ".mozilla" / "firefox";
  std::error_code error;
  if (!std::filesystem::exists(firefoxDir / "profiles.ini", error)) return std::nullopt;
  const auto ini = readFileIfReadable(firefoxDir / "profiles.ini");
  if (!ini) return std::vector<std::filesystem::path>{};
  return parseProfilesIni(*ini, firefoxDir);
}

Result<std::vector<BrowserWindowRecord>> readFirefoxSession(const std::filesystem::path& file) {
  const auto bytes = readFileIfReadable(file, kMaxFirefoxSessionBytes);
  if (!bytes) return fail("The Firefox session file can't be read.");
  auto json = decodeMozLz4(*bytes);
  if (!json) return Unexpected(json.error());
  return parseFirefoxSession(*json);
}

std::filesystem::path recoverySessionFile(const std::filesystem::path& profile) {
  return profile / "sessionstore-backups" / "recovery.jsonlz4";
}

}  // namespace brimwell
