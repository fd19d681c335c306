// The engine's collaborators that the host application implements: battery monitor, workspace
// capturer, document saver and system information. Asynchronous operations take a completion that
// runs exactly once and may run on any thread; the engine moves back to its own thread first.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "brimwell/core/power/battery_reading.h"
#include "brimwell/core/snapshots/snapshot.h"

namespace brimwell {

class BatteryMonitoring {
 public:
  virtual ~BatteryMonitoring() = default;
  // The latest reading; the engine does not use it.
  virtual std::optional<BatteryReading> currentReading() const = 0;
  // Begins delivering readings, in order, on any thread, any number of times.
  virtual void start(std::function<void(BatteryReading)> onReading) = 0;
  virtual void stop() = 0;
};

class WorkspaceCapturing {
 public:
  virtual ~WorkspaceCapturing() = default;
  // Always answers with a snapshot; a capture that fails part-way says so in the per-part statuses.
  virtual void capture(CaptureTrigger trigger, const std::optional<BatteryReading>& battery,
                       const std::set<std::string>& excluding, bool includeClipboard,
                       std::function<void(Snapshot)> done) = 0;
};

// What a save pass achieved: per-application results and the rescue copies it made.
struct SavePassOutput {
  std::vector<SaverResult> results;
  std::vector<RescuedDocument> rescued;
};

class DocumentSaving {
 public:
  virtual ~DocumentSaving() = default;
  virtual void saveDocuments(const std::filesystem::path& rescueFolder,
                             const std::set<std::string>& commandSBundleIDs,
                             const std::set<std::string>& excluding,
                             std::function<void(SavePassOutput)> done) = 0;
};

class SystemInfoProviding {
 public:
  virtual ~SystemInfoProviding() = default;
  // The same for as long as the machine is up, different after every boot.
  virtual std::string bootSessionUUID() = 0;
  // The machine's model identifier.
  virtual std::string hostModel() = 0;
};

}  // namespace brimwell
