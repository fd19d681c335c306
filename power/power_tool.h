// The power tool's whole run: one command line answered from the state file and the machine.
// Reads print their report; changes are saved before they are applied, and a Low Power Mode change
// is applied only when it is the value of the source the machine draws from. Every failure is one
// sentence and status 1; only -g custom, which Safe Landing reads for the hibernate mode, answers
// without Low Power Mode when the profiles can't be read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "power/power_machine.h"

namespace brimwell {

struct ToolOutcome {
  int status = 0;
  std::string standardOutput;
  std::string standardError;  // one sentence and a newline, on failure only
  friend bool operator==(const ToolOutcome&, const ToolOutcome&) = default;
};

ToolOutcome runPowerTool(const std::vector<std::string>& arguments, PowerMachine& machine,
                         const std::filesystem::path& statePath);

}  // namespace brimwell
