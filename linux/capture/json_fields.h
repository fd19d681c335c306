// Reading the fields of a JSON object another program sent (a compositor's window tree, a
// script's or a Shell extension's report): each field taken only when it has the expected type
// and a value Brimwell can hold, otherwise as absent. Pure; callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell::json_fields {

using Json = nlohmann::json;

// A string field, cut to `limit` bytes; empty when absent or not a string.
std::string text(const Json& node, const char* key,
                 std::size_t limit = std::numeric_limits<std::size_t>::max());
// A boolean field that is true.
bool flag(const Json& node, const char* key);
std::optional<std::int64_t> integer(const Json& node, const char* key);
// An integer field that is a process id.
std::optional<int> pid(const Json& node, const char* key = "pid");
// A finite number within a screen's reach (10 million pixels either way).
std::optional<double> coordinate(const Json& node, const char* key);
// `rect`'s x, y, width and height, the sizes not negative.
std::optional<Rect> rect(const Json& rect);
// `rect` when it covers an area: both sizes above zero.
std::optional<Rect> area(const Json& rect);

}  // namespace brimwell::json_fields
