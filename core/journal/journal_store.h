// JournalStore: the journal file "journal.json" in the support directory. Reading never fails
// loudly (a missing or damaged journal reads as none); writing is atomic, so a reader sees the old
// or the new journal whole. The lock guards only the observer slot, which is called after a
// successful write, on the writer's thread and outside the lock. Shared by reference.
#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>

#include "brimwell/core/base/error.h"
#include "brimwell/core/journal/journal.h"
#include "brimwell/core/storage/brimwell_paths.h"

namespace brimwell {

class JournalStore {
 public:
  using Observer = std::function<void(const Journal&)>;

  explicit JournalStore(const BrimwellPaths& paths) : url_(paths.journal()) {}
  JournalStore(const JournalStore&) = delete;
  JournalStore& operator=(const JournalStore&) = delete;

  const std::filesystem::path& url() const { return url_; }

  // The stored journal, or nothing when there is none or it can't be read or decoded.
  std::optional<Journal> read() const;

  // Replaces the stored journal; on failure the previous one stays and the observer isn't called.
  Status write(const Journal& journal);

  void setObserver(Observer observer);

 private:
  const std::filesystem::path url_;
  std::mutex lock_;
  Observer observer_;
};

}  // namespace brimwell
