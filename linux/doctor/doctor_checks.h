// What `brimwell doctor` concludes from the facts it found: one row per check, each passed or
// not with one sentence and, when not, what to do; and whether Safe Landing can work here (a
// battery, the helper answering, this user allowed to change power settings, and hibernation
// possible). Pure functions over MachineFacts; any thread.
#pragma once

#include <string>
#include <vector>

#include "linux/doctor/machine_facts.h"

namespace brimwell {

struct DoctorRow {
  std::string check;  // a short name, such as "Battery" or "Swap"
  bool ok = false;
  std::string sentence;  // what was found
  std::string fix;       // what to do, for a row that failed; empty otherwise
  bool neededForSafeLanding = false;
  friend bool operator==(const DoctorRow&, const DoctorRow&) = default;
};

// Why the kernel can't hibernate, one row per cause looked for (swap against memory, the resume
// device, lockdown, the hibernation modes), each passed when the cause isn't there.
std::vector<DoctorRow> hibernationRows(const HibernationFacts& facts);

// What a desktop backend captures, in one sentence, and whether that includes windows.
struct BackendCapture {
  bool windows = false;
  std::string sentence;
};
BackendCapture backendCapture(DesktopBackendKind kind);

// Every row, in the order the table shows them.
std::vector<DoctorRow> doctorRows(const MachineFacts& facts);

// Whether every row Safe Landing needs passed.
bool safeLandingCanWork(const std::vector<DoctorRow>& rows);

// "15.5 GiB": an amount in KiB, in GiB with one decimal.
std::string gibText(long long kib);

}  // namespace brimwell
