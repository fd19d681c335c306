// The further tabs of a reopened Konsole window. Konsole's command line opens a window of one
// tab: --new-tab reaches a running Konsole only where it runs every window in one process, and
// starts another window otherwise. So the window starts with its first tab, and the others are
// asked of that process over its bus interface (`newSession` of its `/Windows/1`, each with its
// tab's directory), once the bus says the process owns `org.kde.konsole-PID`. Bounded by `wait`.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "brimwell/core/base/error.h"

namespace brimwell {

Status openKonsoleTabs(pid_t pid, const std::vector<std::string>& directories,
                       std::chrono::milliseconds wait);

}  // namespace brimwell
