// The folders a file manager shows, as the locations (URIs) its D-Bus interface speaks: which
// location names a local folder, and the location that names a folder when one is asked for.
// Pure functions; any thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace brimwell {

// The absolute path a location names when it is a local file URL (file:///path, or the host
// "localhost"), percent-escapes decoded; anything else (trash:, recent:, smb:, a file URL of
// another host, a text that isn't a URL) names no folder.
std::optional<std::string> folderOfLocation(std::string_view location);

// The file URL of absolute path `path`: every byte but the unreserved characters and "/"
// percent-escaped, so that folderOfLocation gives `path` back.
std::string locationOfFolder(std::string_view path);

}  // namespace brimwell
