// A tree standing for / in a test: files written by hand under a temporary directory, their
// directories made as needed, as the kernel's proc and sys files would read.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace brimwell::testing {

inline void put(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

// A laptop that can hibernate: a battery, 8 GiB of memory and as much swap, a resume device,
// no lockdown, the platform hibernation mode, a panel backlight and a platform profile.
inline void writeHibernatingLaptop(const std::filesystem::path& root) {
  const auto supply = root / "sys/class/power_supply";
  put(supply / "BAT0/type", "Battery\n");
  put(supply / "BAT0/present", "1\n");
  put(supply / "BAT0/capacity", "64\n");
  put(supply / "BAT0/status", "Discharging\n");
  put(supply / "AC/type", "Mains\n");
  put(supply / "AC/online", "0\n");
  put(root / "proc/meminfo", "MemTotal:        8388608 kB\nSwapTotal:       8388604 kB\n");
  put(root / "proc/swaps", "Filename Type Size Used Priority\n/dev/sda3 partition 8388608 0 -2\n");
  put(root / "proc/cmdline", "BOOT_IMAGE=/vmlinuz root=/dev/sda1 resume=/dev/sda3 quiet\n");
  put(root / "sys/power/resume", "8:3\n");
  put(root / "sys/kernel/security/lockdown", "[none] integrity confidentiality\n");
  put(root / "sys/power/disk", "[platform] shutdown reboot suspend test_resume\n");
  put(root / "sys/power/state", "freeze mem disk\n");
  put(root / "sys/class/backlight/intel_backlight/type", "raw\n");
  put(root / "sys/class/backlight/intel_backlight/brightness", "400\n");
  put(root / "sys/class/backlight/intel_backlight/max_brightness", "1000\n");
  put(root / "sys/firmware/acpi/platform_profile", "balanced\n");
  put(root / "sys/firmware/acpi/platform_profile_choices", "low-power balanced performance\n");
}

}  // namespace brimwell::testing
