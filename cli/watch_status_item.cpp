#include "cli/watch_status_item.h"

#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <iostream>
#include <system_error>
#include <thread>

#include "brimwell/core/base/time_zone.h"
#include "brimwell/core/storage/atomic_file.h"
#include "linux/restore/programs.h"

namespace brimwell::cli {

WatchStatusItem::WatchStatusItem(asio::io_context& context, std::shared_ptr<BusConnection> session,
                                 std::shared_ptr<BrimwellEngine> engine,
                                 std::shared_ptr<SnapshotStore> snapshots, Actions actions)
    : context_(context),
      session_(std::move(session)),
      engine_(engine),
      snapshots_(std::move(snapshots)),
      actions_(std::move(actions)),
      timer_(context) {}

void WatchStatusItem::start() {
  if (!session_) return;
  item_ = StatusItem::create(context_, session_,
                             [this](const StatusRequest& request) { act(request); });
  if (Status started = item_->start(); !started) {
    std::cerr << started.error().message() << '\n';
    item_.reset();
    return;
  }
  refresh();
  tick();
}

void WatchStatusItem::show(const EngineState& state) {
  state_ = state;
  refresh();
}

void WatchStatusItem::stop() {
  timer_.cancel();
  item_.reset();
}

void WatchStatusItem::refresh() {
  if (!item_) return;
  const TimeZone zone = TimeZone::current();
  item_->show(statusItemLook(state_, std::chrono::system_clock::now(), zone));
  // The menu lists the store again only when a newer snapshot has been stored.
  const std::string newest = state_.latest ? state_.latest->id : std::string();
  if (offeredFor_ != newest) {
    offeredFor_ = newest;
    item_->offer(statusMenu(snapshots_->summaries(), zone));
  }
}

void WatchStatusItem::tick() {
  timer_.expires_after(std::chrono::minutes(1));
  timer_.async_wait([this](std::error_code error) {
    if (error) return;
    refresh();
    tick();
  });
}

void WatchStatusItem::act(const StatusRequest& request) {
  auto engine = engine_.lock();
  switch (request.action) {
    case StatusAction::captureNow:
      if (engine) engine->captureNow([](std::optional<SnapshotSummary>) {});
      return;
    case StatusAction::runDrill:
      if (engine) engine->runDrill([](std::optional<SnapshotSummary>) {});
      return;
    case StatusAction::restore:
      if (actions_.restore) actions_.restore(request.snapshotId);
      return;
    case StatusAction::openSettings:
      openSettings();
      return;
    case StatusAction::quit:
      if (actions_.quit) actions_.quit();
      return;
  }
}

void WatchStatusItem::openSettings() {
  // An editor needs a file to open: a missing one starts as an empty object, all defaults.
  std::error_code error;
  if (!std::filesystem::exists(actions_.settingsFile, error)) {
    if (Status written = AtomicFile::write("{}\n", actions_.settingsFile); !written) {
      std::cerr << "The settings file " << actions_.settingsFile.string()
                << " can't be made: " << written.error().message() << '\n';
      return;
    }
  }
  auto started = PosixPrograms().start({"xdg-open", actions_.settingsFile.string()}, "");
  if (!started) {
    std::cerr << "The settings file can't be opened: " << started.error().message() << '\n';
    return;
  }
  std::thread([pid = *started] {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

}  // namespace brimwell::cli
