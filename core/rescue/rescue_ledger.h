// RescueLedger: the rescue copies recorded in the last six hours, kept in "rescue-ledger.json" as a
// JSON array, oldest first. Any thread may call it; one mutex serialises every access to the file,
// so a record's read-modify-write is atomic against other calls on the same object, and the
// caller's fileExists test is never run while that mutex is held. Readers never report errors.
#pragma once

#include <concepts>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/snapshots/workspace_records.h"
#include "brimwell/core/storage/brimwell_paths.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

class RescueLedger {
 public:
  struct Entry {
    RescuedDocument document;
    Date savedAt;  // the save pass's time
    friend bool operator==(const Entry&, const Entry&) = default;
  };

  // Seconds after which an entry is dropped on the next record and never reported as recent.
  static constexpr double maxAge = 21'600;

  using FileExists = std::function<bool(const std::string& path)>;

  // The ledger at the standard location; touches no file.
  explicit RescueLedger(const BrimwellPaths& paths) : url_(paths.rescueLedger()) {}
  explicit RescueLedger(std::filesystem::path url) : url_(std::move(url)) {}
  RescueLedger(const RescueLedger&) = delete;
  RescueLedger& operator=(const RescueLedger&) = delete;

  const std::filesystem::path& url() const { return url_; }

  // Everything in the file, in file order; empty when the file is missing, unreadable or damaged.
  std::vector<Entry> entries() const;

  // Appends `documents` as saved at `at`, dropping entries at least maxAge old and any entry for
  // the same path. An empty list touches nothing. False when the file couldn't be written; the old
  // file then stays as it was.
  bool record(const std::vector<RescuedDocument>& documents, Date at);

  // The copies worth showing at `now`, most recently recorded first: younger than maxAge, dated no
  // more than 60 s after `now`, and still present by `fileExists`. The file is not rewritten.
  std::vector<RescuedDocument> recent(Date now, const FileExists& fileExists) const;

  // The lists joined in order, keeping only the first document for each path.
  static std::vector<RescuedDocument> merged(
      const std::vector<std::vector<RescuedDocument>>& lists);
  template <class... Lists>
  requires(std::same_as<Lists, std::vector<RescuedDocument>>&&...) static std::vector<
      RescuedDocument> merged(const Lists&... lists) {
    return merged(std::vector<std::vector<RescuedDocument>>{lists...});
  }

  // Removes the file; a missing file or a failed removal is ignored.
  void clear();

 private:
  std::vector<Entry> readEntries() const;  // the caller holds lock_

  const std::filesystem::path url_;
  mutable std::mutex lock_;
};

template <>
struct JsonCoding<RescueLedger::Entry> {
  static Json write(const RescueLedger::Entry& value);
  static RescueLedger::Entry read(const Json& json);
};

}  // namespace brimwell
