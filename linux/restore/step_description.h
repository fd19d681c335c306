// A restore step told in a few words for progress lines and the report, such as "Launch xterm"
// or "Open a firefox window with 3 tabs". Pure; any thread.
#pragma once

#include <string>

#include "brimwell/core/restore/restore_step.h"

namespace brimwell {

std::string describeStep(const RestoreStep& step);

// The name the user knows `app` by: its name, else its desktop-file ID, else its program's file.
std::string appName(const AppRecord& app);

}  // namespace brimwell
