#include "linux/save/buffer_reports.h"

#include <nlohmann/json.hpp>

namespace brimwell {

Result<std::vector<BufferReport>> parseBufferReports(std::string_view json,
                                                     const std::string& editor) {
  const auto unreadable = [&] {
    return fail(editor + " answered with something Brimwell can't read.");
  };
  const auto entries = nlohmann::json::parse(json, nullptr, false);
  if (!entries.is_array()) return unreadable();
  std::vector<BufferReport> reports;
  for (const auto& entry : entries) {
    if (!entry.is_array() || entry.size() != 3 || !entry[0].is_string() || !entry[1].is_string() ||
        !entry[2].is_string()) {
      return unreadable();
    }
    const auto kind = entry[0].get<std::string>();
    BufferReport report{.buffer = entry[1].get<std::string>(), .file = entry[2].get<std::string>()};
    if (kind == "saved") {
      report.kind = BufferReport::Kind::saved;
    } else if (kind == "rescued") {
      report.kind = BufferReport::Kind::rescued;
    } else if (kind != "failed") {
      return unreadable();
    }
    reports.push_back(std::move(report));
  }
  return reports;
}

SavePassOutput bufferPassOutput(const std::vector<BufferReport>& reports,
                                const std::string& bundleID, const std::string& appName,
                                const std::string& editor) {
  SavePassOutput output;
  SaverResult result{.bundleID = bundleID, .appName = appName};
  std::vector<std::string> failures;
  for (const auto& report : reports) {
    switch (report.kind) {
      case BufferReport::Kind::saved:
        ++result.saved;
        break;
      case BufferReport::Kind::rescued:
        ++result.rescued;
        output.rescued.push_back({.appBundleID = bundleID,
                                  .appName = appName,
                                  .originalTitle = report.buffer,
                                  .path = report.file});
        break;
      case BufferReport::Kind::failed:
        failures.push_back(report.buffer + ": " + report.file);
        break;
    }
  }
  if (reports.empty()) {
    result.outcome = SaverOutcome::nothingToSave;
  } else if (failures.size() == reports.size()) {
    result.outcome = SaverOutcome::failed;
  } else {
    result.outcome = SaverOutcome::saved;
  }
  if (!failures.empty()) {
    std::string detail = editor + " couldn't save " + std::to_string(failures.size()) +
                         (failures.size() == 1 ? " buffer (" : " buffers (");
    for (std::size_t i = 0; i < failures.size(); ++i) detail += (i ? "; " : "") + failures[i];
    result.detail = detail + ").";
  } else if (result.rescued > 0) {
    result.detail = "Saved copies of unsaved buffers in the rescue folder.";
  }
  output.results.push_back(std::move(result));
  return output;
}

}  // namespace brimwell
