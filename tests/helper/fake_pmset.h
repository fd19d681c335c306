// A copy of the test power tool (fake_pmset.sh) in its own temporary directory, with helpers to
// set its settings and instructions and to read back its settings and run log.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace brimwell {

class FakePmset {
 public:
  FakePmset() {
    std::filesystem::copy_file(BRIMWELL_FAKE_PMSET, path());
    std::filesystem::permissions(path(), std::filesystem::perms(0755));
  }

  std::string path() const { return dir_ / "pmset"; }
  std::string logPath() const { return dir_ / "pmset.log"; }
  std::string directory() const { return dir_.path(); }

  // Settings as shell assignments, e.g. "battery_hibernatemode=1".
  void setState(const std::string& assignments) { write("pmset.state", assignments); }
  // Instructions as shell assignments, e.g. "fail=1; stdout_only=1".
  void control(const std::string& assignments) { write("pmset.control", assignments); }
  // Log every run's start and end.
  void logRuns(double delay = 0) {
    control("log=" + logPath() + (delay > 0 ? "; delay=" + std::to_string(delay) : ""));
  }

  // The current settings; the defaults when no change has been made.
  std::map<std::string, std::string> state() const {
    std::map<std::string, std::string> values = {{"battery_lowpowermode", "0"},
                                                 {"ac_lowpowermode", "0"},
                                                 {"battery_hibernatemode", "3"},
                                                 {"ac_hibernatemode", "3"},
                                                 {"sleeps", "0"}};
    std::ifstream file(dir_ / "pmset.state");
    std::string line;
    while (std::getline(file, line)) {
      auto equals = line.find('=');
      if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return values;
  }

  std::vector<std::string> log() const {
    std::vector<std::string> lines;
    std::ifstream file(logPath());
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    return lines;
  }

 private:
  void write(const std::string& name, const std::string& text) {
    std::ofstream(dir_ / name) << text << "\n";
  }
  testing::TempDir dir_;
};

}  // namespace brimwell
