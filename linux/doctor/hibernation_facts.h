// What the kernel says about hibernating this machine: memory against swap, the resume device,
// lockdown and the hibernation modes it offers, read from a tree standing for / (its proc and
// sys directories) so tests give fake ones. The parsers are pure; `readHibernationFacts` reads
// each file bounded and takes a missing or unreadable one as absent. Any thread.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brimwell {

struct SwapArea {
  std::string name;  // as /proc/swaps lists it, such as /dev/nvme0n1p3 or /swapfile
  long long kib = 0;
  friend bool operator==(const SwapArea&, const SwapArea&) = default;
};

struct HibernationFacts {
  std::optional<long long> memTotalKiB;          // MemTotal in /proc/meminfo
  std::optional<long long> swapTotalKiB;         // SwapTotal in /proc/meminfo
  std::optional<std::vector<SwapArea>> swaps;    // /proc/swaps, when readable
  std::optional<std::string> commandLineResume;  // the value of resume= in /proc/cmdline
  std::optional<std::string> resumeDevice;       // /sys/power/resume, such as 259:3 or 0:0
  std::optional<std::string> lockdown;  // the selected mode of /sys/kernel/security/lockdown
  std::optional<std::vector<std::string>> diskModes;    // /sys/power/disk, brackets removed
  std::optional<std::vector<std::string>> sleepStates;  // /sys/power/state
  friend bool operator==(const HibernationFacts&, const HibernationFacts&) = default;
};

// The value of `key` (such as MemTotal) in /proc/meminfo's text, in KiB.
std::optional<long long> meminfoKiB(std::string_view meminfo, std::string_view key);
// The areas of /proc/swaps' text, its heading left out; malformed lines are skipped.
std::vector<SwapArea> parseSwaps(std::string_view swaps);
// The value of the last resume= parameter of a kernel command line.
std::optional<std::string> resumeParameter(std::string_view commandLine);
// The words of a sysfs choice list ("[platform] shutdown reboot"), brackets removed.
std::vector<std::string> choiceWords(std::string_view text);
// The bracketed word of a sysfs choice list ("none [integrity] confidentiality").
std::optional<std::string> selectedChoice(std::string_view text);

// The swap that can hold a hibernation image: every listed area but compressed memory (zram),
// or SwapTotal when /proc/swaps can't be read.
std::optional<long long> usableSwapKiB(const HibernationFacts& facts);

// The facts under `root`, which stands for /.
HibernationFacts readHibernationFacts(const std::filesystem::path& root);

}  // namespace brimwell
