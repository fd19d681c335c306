#include "cli/watch_collaborators.h"

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <iostream>
#include <thread>

#include "brimwell/core/helper/helper_client.h"
#include "brimwell/core/helper/peer_identity.h"
#include "linux/desktop_helper_controller.h"
#include "linux/desktop_power_saver.h"
#include "linux/engine_sleep_listener.h"
#include "linux/logind_activity_backend.h"
#include "linux/restore/programs.h"

namespace brimwell::cli {
namespace {

std::shared_ptr<BusConnection> openOrNothing(asio::io_context& context, BusConnection::Kind kind) {
  auto bus = BusConnection::open(context, kind);
  return bus ? *bus : nullptr;
}

// `word` as one shell word: unchanged when it needs no quoting, else in single quotes.
std::string shellWord(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_not_of(
                                          "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                          "0123456789-_./:=@%+,") == std::string::npos;
  if (plain) return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

}  // namespace

std::string planCommand(const std::string& id, const std::string& support) {
  std::string command = "brimwell plan " + shellWord(id);
  if (!support.empty()) command += " --support " + shellWord(support);
  return command;
}

DesktopServices::DesktopServices(asio::io_context& context)
    : context_(context),
      system_(openOrNothing(context, BusConnection::Kind::system)),
      session_(openOrNothing(context, BusConnection::Kind::session)) {
  auto client = std::make_shared<HelperClient>();
  powerSaver = std::make_shared<DesktopPowerSaver>(context, client, system_);
  helper = std::make_shared<DesktopHelperController>(context, client, system_);
  activity = std::make_shared<ProcessActivity>(std::make_shared<LogindActivityBackend>(system_));
}

// A program of its own, so a slow restore never holds up the engine's loop; it is reaped by a
// thread of its own when it ends.
void startRestore(const std::string& id, const std::string& support) {
  std::vector<std::string> argv = {canonicalExecutablePath("/proc/self/exe"), "restore", id};
  if (!support.empty()) argv.insert(argv.end(), {"--support", support});
  auto started = PosixPrograms().start(argv, "");
  if (!started) {
    std::cerr << "The restore could not start: " << started.error().message() << '\n';
    return;
  }
  std::thread([pid = *started] {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

void DesktopServices::attach(const std::shared_ptr<BrimwellEngine>& engine,
                             const std::string& support) {
  if (system_) {
    sleep_ = LogindSleepWatch::create(context_, system_, engineSleepListener(engine));
    if (!sleep_->start()) sleep_.reset();
  }
  if (session_) {
    notifier_ = DesktopNotifier::create(session_);
    if (notifier_->start()) {
      notices_.emplace(
          notifier_, engine, [support](const std::string& id) { return planCommand(id, support); },
          [support](const PendingRestore& offer) { startRestore(offer.snapshot.id, support); });
    }
  }
}

void DesktopServices::tell(const EngineEvent& event) {
  if (notices_) notices_->tell(event);
}

void DesktopServices::offerPendingRestore() {
  if (notices_) notices_->offerPendingRestore();
}

bool DesktopServices::notify(const Notice& notice) {
  if (!notices_) return false;
  notifier_->notify(notice);
  return true;
}

void DesktopServices::stop() {
  if (sleep_) sleep_->stop();
  notices_.reset();
}

void FixedBattery::start(std::function<void(BatteryReading)> onReading) {
  onReading_ = std::move(onReading);
  timer_.cancel();
  tick();
}

void FixedBattery::stop() {
  onReading_ = nullptr;
  timer_.cancel();
}

void FixedBattery::tick() {
  if (!onReading_) return;
  latest_ = fakeBattery_.reading(clock_.now());
  onReading_(*latest_);
  timer_.expires_after(std::chrono::milliseconds(static_cast<long long>(interval_ * 1000)));
  timer_.async_wait([this](std::error_code error) {
    if (!error) tick();
  });
}

}  // namespace brimwell::cli
