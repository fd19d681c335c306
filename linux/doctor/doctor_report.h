// How `brimwell doctor` shows its rows: an aligned table (a mark, the check, its sentence, and for
// a failed row a second line with what to do) ending in the verdict on Safe Landing, or one JSON
// document for scripts. Pure; any thread.
#pragma once

#include <string>
#include <vector>

#include "brimwell/core/storage/json_coding.h"
#include "linux/doctor/doctor_checks.h"

namespace brimwell {

std::string doctorTable(const std::vector<DoctorRow>& rows);

// {"checks":[{"check":…,"fix":…,"ok":…,"sentence":…},…],"safeLandingCanWork":…}; a row that
// passed has no fix.
Json doctorJson(const std::vector<DoctorRow>& rows);

// "Safe Landing can work on this machine." or "Safe Landing can't work on this machine (see
// Helper, Hibernate)."
std::string safeLandingVerdict(const std::vector<DoctorRow>& rows);

}  // namespace brimwell
