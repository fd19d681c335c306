// WatchStatusItem: the status icon of `brimwell watch`. It shows the engine's state (refreshed
// every minute, so "minutes ago" stays true), offers the newest stored snapshots, and turns the
// menu's clicks into a capture or a drill of the engine, a restore started as `brimwell restore`,
// the settings file opened with xdg-open, and the end of the watch. Engine thread only.
#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "linux/bus_connection.h"
#include "linux/status_item.h"

namespace brimwell::cli {

class WatchStatusItem {
 public:
  struct Actions {
    std::function<void(const std::string& snapshotId)> restore;
    std::function<void()> quit;
    std::filesystem::path settingsFile;
  };

  WatchStatusItem(asio::io_context& context, std::shared_ptr<BusConnection> session,
                  std::shared_ptr<BrimwellEngine> engine, std::shared_ptr<SnapshotStore> snapshots,
                  Actions actions);
  WatchStatusItem(const WatchStatusItem&) = delete;
  WatchStatusItem& operator=(const WatchStatusItem&) = delete;

  // Offers the item on the bus; a bus that refuses leaves the watch without one.
  void start();
  // The engine's new state.
  void show(const EngineState& state);
  void stop();

 private:
  void refresh();
  void tick();
  void act(const StatusRequest& request);
  void openSettings();

  asio::io_context& context_;
  std::shared_ptr<BusConnection> session_;
  std::weak_ptr<BrimwellEngine> engine_;
  std::shared_ptr<SnapshotStore> snapshots_;
  Actions actions_;
  std::shared_ptr<StatusItem> item_;
  asio::steady_timer timer_;
  EngineState state_;
  std::optional<std::string> offeredFor_;  // the newest snapshot id the menu was made with
};

}  // namespace brimwell::cli
