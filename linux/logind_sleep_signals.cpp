#include "linux/logind_sleep_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <asio/read_until.hpp>
#include <chrono>
#include <system_error>

#include "linux/child_process.h"

namespace brimwell {

std::optional<bool> prepareForSleep(std::string_view line) {
  constexpr std::string_view signal = "org.freedesktop.login1.Manager.PrepareForSleep (";
  const std::size_t at = line.find(signal);
  if (at == std::string_view::npos) return std::nullopt;
  const std::string_view argument = line.substr(at + signal.size());
  if (argument.starts_with("true")) return true;
  if (argument.starts_with("false")) return false;
  return std::nullopt;
}

LogindSleepSignals::LogindSleepSignals(asio::io_context& context, LogindSleepOptions options)
    : options_(std::move(options)), pipe_(context) {}

LogindSleepSignals::~LogindSleepSignals() { stop(); }

bool LogindSleepSignals::start(std::function<void(bool)> onChange) {
  stop();
  std::error_code error;
  if (!std::filesystem::is_directory(options_.systemdRuntime, error)) return false;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return false;
  child_ = spawnChild({options_.monitorProgram, "monitor", "--system", "--dest",
                       "org.freedesktop.login1", "--object-path", "/org/freedesktop/login1"},
                      -1, ends[1]);
  ::close(ends[1]);
  if (child_ < 0) {
    ::close(ends[0]);
    return false;
  }
  pipe_.assign(ends[0]);
  onChange_ = std::move(onChange);
  readNext();
  return true;
}

void LogindSleepSignals::stop() {
  onChange_ = nullptr;
  pending_.clear();
  if (pipe_.is_open()) {
    std::error_code ignored;
    pipe_.close(ignored);
  }
  if (child_ > 0) {
    endChild(child_, std::chrono::milliseconds(0));
    child_ = -1;
  }
}

void LogindSleepSignals::readNext() {
  asio::async_read_until(
      pipe_, asio::dynamic_buffer(pending_), '\n', [this](std::error_code error, std::size_t size) {
        // After stop() (or this object's end) the read completes aborted: touch nothing then.
        if (error == asio::error::operation_aborted) return;
        if (error) {  // the monitor ended: nothing more will be told
          stop();
          return;
        }
        const std::string line = pending_.substr(0, size - 1);
        pending_.erase(0, size);
        if (const auto goingToSleep = prepareForSleep(line); goingToSleep && onChange_) {
          onChange_(*goingToSleep);
        }
        if (pipe_.is_open()) readNext();
      });
}

}  // namespace brimwell
