// SnapshotStore: one atomically written JSON file per snapshot, listed newest first, summarised
// through a cache keyed by file modification time and size, pruned by a fixed rule; unreadable
// files go to "Corrupt", never deleted. Any thread; the lock guards only the summary cache.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/base/expected.h"
#include "brimwell/core/snapshots/snapshot.h"
#include "brimwell/core/snapshots/snapshot_store_error.h"
#include "brimwell/core/snapshots/snapshot_summary.h"
#include "brimwell/core/storage/brimwell_paths.h"
#include "brimwell/core/storage/file_system.h"

namespace brimwell {

class SnapshotStore {
 public:
  static constexpr int keepNewest = 30;
  static constexpr double keepYoungerThan = 172'800;  // seconds (48 hours)
  static constexpr double leftoverTempAge = 3'600;    // seconds (one hour)

  // Creates nothing on disk. `fileSystem` carries the atomic writer's calls (tests inject faults);
  // it must outlive the store.
  explicit SnapshotStore(BrimwellPaths paths, FileSystem& fileSystem = FileSystem::posix());
  SnapshotStore(const SnapshotStore&) = delete;
  SnapshotStore& operator=(const SnapshotStore&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  std::filesystem::path corruptFolder() const { return folder_ / "Corrupt"; }

  // Writes the snapshot's file (creating the folder), or refuses an invalid identifier without
  // writing; the encoder's and the atomic writer's errors are passed on.
  Expected<void, SnapshotSaveError> save(const Snapshot& snapshot);

  // The snapshot of that identifier, carrying it whatever its file's `id` says; nothing when the
  // file is missing or unreadable (an undecodable file is set aside).
  std::optional<Snapshot> load(const std::string& id);
  // The newest snapshot that decodes; undecodable ones met on the way are set aside.
  std::optional<Snapshot> latest();
  bool contains(const std::string& id) const;

  // Identifiers of every snapshot file (a regular file named identifier + ".json"), newest first.
  std::vector<std::string> ids() const;
  // Summaries of every readable snapshot, newest first; unchanged files cost one attribute fetch.
  std::vector<SnapshotSummary> summaries();
  std::optional<SnapshotSummary> latestSummary();

  // Removes leftovers older than an hour, then every snapshot beyond the newest 30 that is not in
  // `keeping` and at least 48 hours old; the removed identifiers, newest first.
  std::vector<std::string> prune(Date now, const std::set<std::string>& keeping);
  // Removes the atomic writer's temporary files older than an hour; their names.
  std::vector<std::string> removeLeftoverTempFiles(Date now);
  // Deletes `url` only when it is a snapshot file lying directly in the snapshot folder (links
  // resolved, no ".." component) and a regular file; whether it was deleted.
  bool removeSnapshotFile(const std::filesystem::path& url);

 private:
  struct Cached {
    Date modified;
    std::int64_t size = 0;
    SnapshotSummary summary;
  };

  // A snapshot file as listed: its identifier, modification time and size.
  struct Listed {
    std::string id;
    Date modified;
    std::int64_t size = 0;
  };

  std::filesystem::path fileOf(const std::string& id) const { return folder_ / (id + ".json"); }
  // Every snapshot file with the attributes fetched while listing, newest first.
  std::vector<Listed> listSnapshots() const;
  // The cached summary while the file keeps `listed`'s modification time and size, else the
  // probe's, which is then cached.
  std::optional<SnapshotSummary> summary(const Listed& listed);
  // The snapshot in `bytes` (`allocated` bytes readable from bytes.data()), or nothing after
  // setting the file aside.
  std::optional<Snapshot> decodeOrSetAside(const std::string& id, std::string_view bytes,
                                           std::size_t allocated);
  void setAside(const std::string& id, std::string_view bytes);
  void forget(const std::string& id);

  BrimwellPaths paths_;
  std::filesystem::path folder_;
  FileSystem& fileSystem_;
  std::mutex lock_;
  std::map<std::string, Cached> cache_;  // guarded by lock_
};

}  // namespace brimwell
