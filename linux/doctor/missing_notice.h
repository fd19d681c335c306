// The one notice `brimwell watch` gives of what is missing on this machine: which checks failed,
// the notice naming them, and the small record in the support directory ("doctor-notice.json")
// of the set last told, so the same set is told once and a new one again. The record is replaced
// atomically; one that can't be read counts as none. Any thread, one at a time per directory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "brimwell/core/base/error.h"
#include "linux/desktop_notifier.h"
#include "linux/doctor/doctor_checks.h"

namespace brimwell {

// The checks that failed, in the table's order.
std::vector<std::string> missingChecks(const std::vector<DoctorRow>& rows);

// The notice naming what is missing; nothing when nothing is. It asks nothing (no actions).
std::optional<Notice> missingNotice(const std::vector<DoctorRow>& rows);

class MissingNoticeRecord {
 public:
  explicit MissingNoticeRecord(std::filesystem::path support)
      : file_(std::move(support) / "doctor-notice.json") {}

  const std::filesystem::path& file() const { return file_; }
  // The set last told, or nothing when no readable record is there.
  std::optional<std::vector<std::string>> told() const;
  Status record(const std::vector<std::string>& missing) const;
  // The notice to give for `rows`: nothing when that set was told already or nothing is missing.
  std::optional<Notice> due(const std::vector<DoctorRow>& rows) const;

 private:
  std::filesystem::path file_;
};

}  // namespace brimwell
