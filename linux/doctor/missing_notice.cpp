#include "linux/doctor/missing_notice.h"

#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/read_file.h"

namespace brimwell {

std::vector<std::string> missingChecks(const std::vector<DoctorRow>& rows) {
  std::vector<std::string> missing;
  for (const auto& row : rows) {
    if (!row.ok) missing.push_back(row.check);
  }
  return missing;
}

std::optional<Notice> missingNotice(const std::vector<DoctorRow>& rows) {
  const auto missing = missingChecks(rows);
  if (missing.empty()) return std::nullopt;
  std::string names;
  for (const auto& name : missing) names += (names.empty() ? "" : ", ") + name;
  Notice notice;
  notice.summary = safeLandingCanWork(rows) ? "Some of Brimwell's protection is missing here"
                                            : "Safe Landing can't work on this machine";
  notice.body = "Missing: " + names + ". Run brimwell doctor to see what to do.";
  return notice;
}

std::optional<std::vector<std::string>> MissingNoticeRecord::told() const {
  auto text = readFile(file_);
  if (!text) return std::nullopt;
  const Json json = Json::parse(*text, nullptr, false);
  if (!json.is_object() || !json.contains("missing") || !json["missing"].is_array()) {
    return std::nullopt;
  }
  std::vector<std::string> missing;
  for (const auto& each : json["missing"]) {
    if (!each.is_string()) return std::nullopt;
    missing.push_back(each.get<std::string>());
  }
  return missing;
}

Status MissingNoticeRecord::record(const std::vector<std::string>& missing) const {
  return AtomicFile::write(BrimwellJSON::dump(Json{{"missing", missing}}), file_);
}

std::optional<Notice> MissingNoticeRecord::due(const std::vector<DoctorRow>& rows) const {
  if (told() == missingChecks(rows)) return std::nullopt;
  return missingNotice(rows);
}

}  // namespace brimwell
