// The power tool run as a program for one test: a fake sysfs tree (a battery whose charge can't be
// read and an adapter, and optionally a platform profile) and a state file in a temporary
// directory, with the bus this process is pointed at (a PrivateBus). Also reads what the tool
// printed through the daemon's own parser, and what the mock services logged.
#pragma once

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace brimwell::testing {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

inline std::string readText(const std::filesystem::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

class PowerToolBench {
 public:
  PowerToolBench() { setOnBattery(true); }

  std::filesystem::path sysfs() const { return dir_ / "sys"; }
  std::filesystem::path statePath() const { return dir_ / "state" / "power-settings.json"; }

  void setOnBattery(bool onBattery) {
    const auto supplies = sysfs() / "class" / "power_supply";
    writeText(supplies / "AC" / "type", "Mains\n");
    writeText(supplies / "AC" / "online", onBattery ? "0\n" : "1\n");
    writeText(supplies / "BAT0" / "type", "Battery\n");
    writeText(supplies / "BAT0" / "status", onBattery ? "Discharging\n" : "Charging\n");
  }

  std::filesystem::path platformProfileFile() const {
    return sysfs() / "firmware" / "acpi" / "platform_profile";
  }
  void setPlatformProfile(const std::string& active, const std::string& choices) {
    writeText(platformProfileFile(), active + "\n");
    writeText(sysfs() / "firmware" / "acpi" / "platform_profile_choices", choices + "\n");
  }

  // Runs the tool with `arguments`; with `withoutFileOverride`, a root test process first takes
  // away the tool's power to ignore file permissions, so a read-only directory is read-only to it.
  ToolRun run(const std::vector<std::string>& arguments, bool withoutFileOverride = false) const {
    const auto outPath = dir_ / "out", errPath = dir_ / "err";
    std::vector<std::string> args = {BRIMWELL_POWER_TOOL_PATH};
    args.insert(args.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& each : args) argv.push_back(each.data());
    argv.push_back(nullptr);
    // The test's environment (its bus included) and the two locations, made before the fork.
    std::vector<std::string> env = {"BRIMWELL_SYSFS_ROOT=" + sysfs().string(),
                                    "BRIMWELL_POWER_STATE=" + statePath().string()};
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (!std::string_view(*entry).starts_with("BRIMWELL_")) env.emplace_back(*entry);
    }
    std::vector<char*> envp;
    for (auto& each : env) envp.push_back(each.data());
    envp.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
      const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(out, 1);
      ::dup2(err, 2);
      if (withoutFileOverride && ::geteuid() == 0) {
        for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
          if (::prctl(PR_CAPBSET_DROP, capability, 0, 0, 0) != 0) ::_exit(126);
        }
      }
      ::execve(argv[0], argv.data(), envp.data());
      ::_exit(127);
    }
    int raw = 0;
    ::waitpid(pid, &raw, 0);
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), readText(outPath),
            readText(errPath)};
  }

 private:
  TempDir dir_;
};

// The value of power-profiles' ActiveProfile on `bus`, or the bus's complaint.
inline std::string activeProfile(sd_bus* bus) {
  char* value = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  const int result =
      sd_bus_get_property_string(bus, "net.hadess.PowerProfiles", "/net/hadess/PowerProfiles",
                                 "net.hadess.PowerProfiles", "ActiveProfile", &error, &value);
  std::string text = result < 0 ? std::string("error: ") + (error.message ? error.message : "")
                                : std::string(value);
  std::free(value);
  sd_bus_error_free(&error);
  return text;
}

// The method names a dbusmock log holds from byte `from` on ("1796583753.327 Hibernate False").
inline std::vector<std::string> loggedCalls(const std::filesystem::path& log,
                                            std::size_t from = 0) {
  const std::string text = readText(log);
  std::istringstream lines(from < text.size() ? text.substr(from) : "");
  std::vector<std::string> calls;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::string stamp, method;
    if (words >> stamp >> method) calls.push_back(method);
  }
  return calls;
}

}  // namespace brimwell::testing
