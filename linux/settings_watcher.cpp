#include "linux/settings_watcher.h"

#include <sys/inotify.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace brimwell {

SettingsWatcher::SettingsWatcher(asio::io_context& context, std::filesystem::path file)
    : file_(std::move(file)), inotify_(context), current_(readSettingsFile(file_)) {}

SettingsWatcher::~SettingsWatcher() { stop(); }

SettingsFileReading SettingsWatcher::current() const {
  std::lock_guard guard(lock_);
  return current_;
}

namespace {

constexpr std::uint32_t fileEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;
constexpr std::uint32_t ancestorEvents = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;

}  // namespace

bool SettingsWatcher::arm() {
  const int fd = inotify_.native_handle();
  if (watch_ >= 0) ::inotify_rm_watch(fd, watch_);
  std::filesystem::path directory = file_.parent_path();
  std::error_code error;
  while (!std::filesystem::is_directory(directory, error) && directory.has_relative_path()) {
    directory = directory.parent_path();
  }
  watchingDirectory_ = directory == file_.parent_path();
  watch_ =
      ::inotify_add_watch(fd, directory.c_str(), watchingDirectory_ ? fileEvents : ancestorEvents);
  return watch_ >= 0;
}

Status SettingsWatcher::watch(std::function<void(const SettingsFileReading&)> changed) {
  stop();
  const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd < 0) {
    return fail("Changes to the settings can't be followed (" + Error::posix(errno).message() +
                ").");
  }
  inotify_.assign(fd);
  if (!arm()) {
    const int cause = errno;
    stop();
    return fail("Changes to the settings file " + file_.string() + " can't be followed (" +
                Error::posix(cause).message() + ").");
  }
  changed_ = std::move(changed);
  // The file may have changed between construction and now.
  reread();
  readEvents();
  return Status();
}

void SettingsWatcher::stop() {
  std::error_code ignored;
  if (inotify_.is_open()) inotify_.close(ignored);
  watch_ = -1;
}

void SettingsWatcher::readEvents() {
  inotify_.async_read_some(asio::buffer(buffer_), [this](std::error_code error, std::size_t size) {
    if (error) return;  // stopped, or the descriptor failed: the settings stay as they are
    const std::string name = file_.filename().string();
    bool concerned = false;
    bool rearm = false;
    for (std::size_t at = 0; at + sizeof(inotify_event) <= size;) {
      inotify_event event;
      std::memcpy(&event, buffer_ + at, sizeof event);
      const char* eventName = buffer_ + at + sizeof(inotify_event);
      at += sizeof(inotify_event) + event.len;
      if (event.wd != watch_ && (event.mask & IN_Q_OVERFLOW) == 0) continue;  // a removed watch
      // Under an ancestor any change may be the settings directory appearing.
      if (!watchingDirectory_ ||
          (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW)) != 0) {
        rearm = true;
      }
      if (event.len > 0 && name == eventName) concerned = true;
    }
    if (rearm && !arm()) return;  // nothing left to watch: the settings stay as they are
    if (concerned || rearm) reread();
    readEvents();
  });
}

void SettingsWatcher::reread() {
  SettingsFileReading reading = readSettingsFile(file_);
  {
    std::lock_guard guard(lock_);
    if (reading == current_) return;
    current_ = reading;
  }
  if (changed_) changed_(reading);
}

}  // namespace brimwell
