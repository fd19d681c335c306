// The headers most of the project's files include, compiled once per target instead of parsed
// again for every file: the standard library's most used, Asio's event loop and nlohmann's JSON.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <asio/io_context.hpp>
#include <nlohmann/json.hpp>
