// FileManagerSource: where the capturer learns which folder windows the file manager has open.
// The bus one asks whoever owns org.freedesktop.FileManager1 on the session bus (Nautilus) for
// its OpenWindowsWithLocations, waiting no longer than its limit; tests give fixed answers or
// failures.
#pragma once

#include <chrono>
#include <optional>
#include <vector>

#include "brimwell/core/base/error.h"
#include "linux/capture/nautilus_windows.h"

namespace brimwell {

inline constexpr const char* kFileManagerBusName = "org.freedesktop.FileManager1";
inline constexpr const char* kFileManagerPath = "/org/freedesktop/FileManager1";
inline constexpr const char* kFileManagerInterface = "org.freedesktop.FileManager1";
// The most windows, and locations of a window, believed; a longer location is left out.
inline constexpr std::size_t kMaxFileManagerWindows = 256;
inline constexpr std::size_t kMaxWindowLocations = 64;
inline constexpr std::size_t kMaxLocationLength = 8192;

struct OpenFolderWindows {
  std::optional<int> pid;  // the file manager's process, when the bus tells it
  std::vector<FileManagerWindow> windows;
};

class FileManagerSource {
 public:
  virtual ~FileManagerSource() = default;
  // The open windows, or the sentence saying why they can't be known.
  virtual Result<OpenFolderWindows> openWindows() = 0;
};

class BusFileManagerSource final : public FileManagerSource {
 public:
  explicit BusFileManagerSource(std::chrono::milliseconds limit = std::chrono::seconds(2))
      : limit_(limit) {}
  Result<OpenFolderWindows> openWindows() override;

 private:
  std::chrono::milliseconds limit_;
};

}  // namespace brimwell
