#include "linux/capture/json_fields.h"

#include <cmath>

namespace brimwell::json_fields {

std::string text(const Json& node, const char* key, std::size_t limit) {
  const auto found = node.find(key);
  if (found == node.end() || !found->is_string()) return {};
  const auto& value = found->get_ref<const std::string&>();
  return value.substr(0, limit);
}

bool flag(const Json& node, const char* key) {
  const auto found = node.find(key);
  return found != node.end() && found->is_boolean() && found->get<bool>();
}

std::optional<std::int64_t> integer(const Json& node, const char* key) {
  const auto found = node.find(key);
  if (found == node.end() || !found->is_number_integer()) return std::nullopt;
  return found->get<std::int64_t>();
}

std::optional<int> pid(const Json& node, const char* key) {
  const auto value = integer(node, key);
  if (!value || *value <= 0 || *value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(*value);
}

std::optional<double> coordinate(const Json& node, const char* key) {
  const auto found = node.find(key);
  if (found == node.end() || !found->is_number()) return std::nullopt;
  const double value = found->get<double>();
  if (!std::isfinite(value) || std::abs(value) > 1e7) return std::nullopt;
  return value;
}

std::optional<Rect> rect(const Json& rect) {
  if (!rect.is_object()) return std::nullopt;
  const auto x = coordinate(rect, "x"), y = coordinate(rect, "y");
  const auto width = coordinate(rect, "width"), height = coordinate(rect, "height");
  if (!x || !y || !width || !height || *width < 0 || *height < 0) return std::nullopt;
  return Rect{*x, *y, *width, *height};
}

std::optional<Rect> area(const Json& rect) {
  auto found = json_fields::rect(rect);
  if (!found || found->width <= 0 || found->height <= 0) return std::nullopt;
  return found;
}

}  // namespace brimwell::json_fields
