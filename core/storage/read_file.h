// Reading a whole file into memory, the first step of every store's read.
#pragma once

#include <filesystem>
#include <string>

#include "core/base/error.h"

namespace brimwell {

// The bytes of the file at `path`; fails with the system's error when it can't be opened or read.
Result<std::string> readFile(const std::filesystem::path& path);

}  // namespace brimwell
