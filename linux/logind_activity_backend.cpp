#include "linux/logind_activity_backend.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <system_error>
#include <vector>

#include "linux/child_process.h"

namespace brimwell {
namespace {

class NoActivity final : public ActivityBackend::Activity {};

// The running `systemd-inhibit` child and the write end of the pipe it waits on.
class InhibitorActivity final : public ActivityBackend::Activity {
 public:
  InhibitorActivity(pid_t child, int pipeWriteEnd) : child_(child), pipe_(pipeWriteEnd) {}
  InhibitorActivity(const InhibitorActivity&) = delete;
  InhibitorActivity& operator=(const InhibitorActivity&) = delete;

  // Closing the pipe ends the child's command, which releases the lock; the child is then reaped.
  // One that hasn't gone within a second is killed, so ending an activity never hangs.
  ~InhibitorActivity() override {
    ::close(pipe_);
    endChild(child_, std::chrono::seconds(1));
  }

 private:
  const pid_t child_;
  const int pipe_;
};

// Starts `argv` with the read end of a new pipe as its standard input, as an activity that owns
// the child; nothing when it can't be started.
std::unique_ptr<ActivityBackend::Activity> spawnHolding(const std::vector<std::string>& argv) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  const pid_t child = spawnChild(argv, ends[0]);
  ::close(ends[0]);
  if (child < 0) {
    ::close(ends[1]);
    return nullptr;
  }
  return std::make_unique<InhibitorActivity>(child, ends[1]);
}

}  // namespace

LogindActivityBackend::LogindActivityBackend(LogindActivityOptions options)
    : options_(std::move(options)) {}

std::unique_ptr<ActivityBackend::Activity> LogindActivityBackend::begin(ActivityLevel level,
                                                                        std::string_view reason) {
  if (level != ActivityLevel::keepAwake) return std::make_unique<NoActivity>();
  std::error_code error;
  if (!std::filesystem::is_directory(options_.systemdRuntime, error)) {
    return std::make_unique<NoActivity>();
  }
  auto held = spawnHolding({options_.inhibitProgram, "--what=idle", "--mode=block",
                            "--who=" + options_.who, "--why=" + std::string(reason), "--", "cat"});
  if (!held) return std::make_unique<NoActivity>();
  return held;
}

}  // namespace brimwell
