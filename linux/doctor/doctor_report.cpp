#include "linux/doctor/doctor_report.h"

#include <algorithm>

namespace brimwell {

std::string safeLandingVerdict(const std::vector<DoctorRow>& rows) {
  if (safeLandingCanWork(rows)) return "Safe Landing can work on this machine.";
  std::string missing;
  for (const auto& row : rows) {
    if (!row.ok && row.neededForSafeLanding) missing += (missing.empty() ? "" : ", ") + row.check;
  }
  return "Safe Landing can't work on this machine (see " + missing + ").";
}

std::string doctorTable(const std::vector<DoctorRow>& rows) {
  std::size_t width = 0;
  for (const auto& row : rows) width = std::max(width, row.check.size());
  const std::string indent(2 + width + 2, ' ');
  std::string table;
  for (const auto& row : rows) {
    table += row.ok ? "✓ " : "✗ ";
    table += row.check + std::string(width - row.check.size() + 2, ' ') + row.sentence + "\n";
    if (!row.ok && !row.fix.empty()) table += indent + row.fix + "\n";
  }
  table += "\n" + safeLandingVerdict(rows) + "\n";
  return table;
}

Json doctorJson(const std::vector<DoctorRow>& rows) {
  Json checks = Json::array();
  for (const auto& row : rows) {
    Json each = {{"check", row.check},
                 {"ok", row.ok},
                 {"sentence", row.sentence},
                 {"neededForSafeLanding", row.neededForSafeLanding}};
    if (!row.ok) each["fix"] = row.fix;
    checks.push_back(std::move(each));
  }
  return {{"checks", std::move(checks)}, {"safeLandingCanWork", safeLandingCanWork(rows)}};
}

}  // namespace brimwell
