// FileManager: how the restore executor has a folder shown in a window. The bus one calls
// org.freedesktop.FileManager1's ShowFolders on the session bus (the bus starts the file manager
// when its service is installed), waiting no longer than its limit; tests give fakes.
#pragma once

#include <chrono>
#include <string>

#include "brimwell/core/base/error.h"

namespace brimwell {

class FileManager {
 public:
  virtual ~FileManager() = default;
  // Asks for a window showing `folder` (an absolute path). Fails with the code ENOENT when no
  // file manager answers, else with one clause (lower case, no full stop) saying why.
  virtual Status showFolder(const std::string& folder) = 0;
};

class BusFileManager final : public FileManager {
 public:
  // A file manager the bus starts first may take seconds to answer.
  explicit BusFileManager(std::chrono::milliseconds limit = std::chrono::seconds(10))
      : limit_(limit) {}
  Status showFolder(const std::string& folder) override;

 private:
  std::chrono::milliseconds limit_;
};

}  // namespace brimwell
