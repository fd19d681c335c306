// ScopedEnvironment: environment variables set for one test (and the programs it starts), each put
// back as it was when the test ends.
#pragma once

#include <stdlib.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace brimwell::testing {

class ScopedEnvironment {
 public:
  ScopedEnvironment() = default;
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      it->second ? ::setenv(it->first.c_str(), it->second->c_str(), 1)
                 : ::unsetenv(it->first.c_str());
    }
  }

  void set(const std::string& name, const std::string& value) {
    const char* previous = std::getenv(name.c_str());
    saved_.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
    ::setenv(name.c_str(), value.c_str(), 1);
  }

  // Each of `settings`, NAME=value, or NAME alone for a variable set empty.
  void setAll(const std::vector<std::string>& settings) {
    for (const auto& setting : settings) {
      const auto split = setting.find('=');
      set(setting.substr(0, split),
          split == std::string::npos ? std::string() : setting.substr(split + 1));
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

}  // namespace brimwell::testing
