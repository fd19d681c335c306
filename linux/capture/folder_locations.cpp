#include "linux/capture/folder_locations.h"

#include "brimwell/core/snapshots/parsed_url.h"

namespace brimwell {

std::optional<std::string> folderOfLocation(std::string_view location) {
  const auto url = ParsedURL::parse(location);
  if (!url || !url->isFileURL()) return std::nullopt;
  if (url->host && !url->host->empty() && *url->host != "localhost") return std::nullopt;
  std::string path = url->fileSystemPath();
  // A path with a NUL byte names no file.
  if (path.empty() || path.front() != '/' || path.find('\0') != std::string::npos) {
    return std::nullopt;
  }
  return path;
}

std::string locationOfFolder(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string location = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                       (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' ||
                       c == '~' || c == '/';
    if (plain) {
      location.push_back(c);
    } else {
      location.push_back('%');
      location.push_back(kHex[byte >> 4]);
      location.push_back(kHex[byte & 0xF]);
    }
  }
  return location;
}

}  // namespace brimwell
