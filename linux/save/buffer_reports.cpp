#include "linux/save/buffer_reports.h"

namespace brimwell {

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
