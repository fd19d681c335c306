// SettingsWatcher: keeps the settings in force in step with the settings file. It reads the file
// at construction and again whenever inotify reports that the file was written and closed, moved
// in or away, or deleted in its directory; while that directory is missing it watches the nearest
// existing ancestor for it to appear, creating nothing. The owner is told after every re-read that
// changed the settings or the problem.
// current() from any thread; watch() and stop() on the io_context's thread only.
#pragma once

#include <asio/io_context.hpp>
#include <asio/posix/stream_descriptor.hpp>
#include <filesystem>
#include <functional>
#include <mutex>

#include "brimwell/core/base/error.h"
#include "linux/settings_file.h"

namespace brimwell {

class SettingsWatcher {
 public:
  SettingsWatcher(asio::io_context& context, std::filesystem::path file);
  SettingsWatcher(const SettingsWatcher&) = delete;
  SettingsWatcher& operator=(const SettingsWatcher&) = delete;
  ~SettingsWatcher();

  // The latest reading of the file.
  SettingsFileReading current() const;

  // Starts watching; `changed` runs on the io_context's thread after each re-read that differs
  // from the one before. Fails with one sentence when the directory can't be watched; the
  // settings then stay as first read.
  Status watch(std::function<void(const SettingsFileReading&)> changed);
  void stop();

 private:
  // Watches the settings directory, or the nearest ancestor that exists; false when even that
  // can't be watched.
  bool arm();
  void readEvents();
  void reread();

  const std::filesystem::path file_;
  asio::posix::stream_descriptor inotify_;
  std::function<void(const SettingsFileReading&)> changed_;
  int watch_ = -1;                  // the current watch on inotify_
  bool watchingDirectory_ = false;  // it is on the settings directory itself
  mutable std::mutex lock_;
  SettingsFileReading current_;
  char buffer_[4096];
};

}  // namespace brimwell
