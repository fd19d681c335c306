// A power-supply class directory written by hand: one directory per supply with one text file
// per attribute, each ending in a newline as the kernel writes them.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "tests/support/temp_dir.h"

namespace brimwell::testing {

using Attributes = std::map<std::string, std::string>;

inline void writeSupply(const std::filesystem::path& root, const std::string& name,
                        const Attributes& attributes) {
  std::filesystem::create_directories(root / name);
  for (const auto& [attribute, value] : attributes)
    writeFile(root / name / attribute, value + "\n");
}

}  // namespace brimwell::testing
