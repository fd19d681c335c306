// How values become JSON and back. Each record type specialises JsonCoding<T> with `write` and a
// strict `read`: a required key must be present with the right type, an optional key may be
// missing or null, unknown keys are ignored, an unknown enumeration text fails. Codecs report a
// failure by throwing JsonCodingError; only BrimwellJSON::encode/decode are called from outside,
// and they turn it into an Error, so no exception leaves the coding layer.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brimwell/core/base/date.h"
#include "brimwell/core/base/enum_text.h"

namespace brimwell {

// Objects keep their keys in a std::map, so every encoded object lists its keys in code-point
// order.
using Json = nlohmann::json;

class JsonCodingError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

template <class T>
struct JsonCoding;

template <class T>
Json toJson(const T& value) {
  return JsonCoding<T>::write(value);
}

template <class T>
T fromJson(const Json& json) {
  return JsonCoding<T>::read(json);
}

// The JSON type of `json` in words, for error messages.
std::string describeJsonType(const Json& json);

[[noreturn]] void throwTypeMismatch(std::string_view expected, const Json& found);

template <>
struct JsonCoding<bool> {
  static Json write(bool value) { return value; }
  static bool read(const Json& json) {
    if (!json.is_boolean()) throwTypeMismatch("a boolean", json);
    return json.get<bool>();
  }
};

// Integers must be JSON integers within the target type's range; 3.0 or 1e3 are not integers.
template <class I>
requires std::is_integral_v<I> &&(!std::is_same_v<I, bool>)struct JsonCoding<I> {
  static Json write(I value) { return value; }
  static I read(const Json& json) {
    if (json.is_number_unsigned()) {
      const auto value = json.get<std::uint64_t>();
      if (std::in_range<I>(value)) return static_cast<I>(value);
    } else if (json.is_number_integer()) {
      const auto value = json.get<std::int64_t>();
      if (std::in_range<I>(value)) return static_cast<I>(value);
    } else {
      throwTypeMismatch("an integer", json);
    }
    throw JsonCodingError("The number " + json.dump() + " is out of range.");
  }
};

template <>
struct JsonCoding<double> {
  static Json write(double value);  // fails for NaN and infinities, which JSON can't hold
  static double read(const Json& json) {
    if (!json.is_number()) throwTypeMismatch("a number", json);
    return json.get<double>();
  }
};

template <>
struct JsonCoding<std::string> {
  static Json write(const std::string& value) { return value; }
  static std::string read(const Json& json) {
    if (!json.is_string()) throwTypeMismatch("a string", json);
    return json.get<std::string>();
  }
};

// Dates travel as BrimwellJSON::format text and are read back through BrimwellJSON::parse.
template <>
struct JsonCoding<Date> {
  static Json write(Date value);
  static Date read(const Json& json);
};

template <NamedEnum E>
struct JsonCoding<E> {
  static Json write(E value) { return std::string(toString(value)); }
  static E read(const Json& json) {
    if (!json.is_string()) throwTypeMismatch("a string", json);
    const auto& text = json.get_ref<const std::string&>();
    if (auto value = enumFromString<E>(text)) return *value;
    throw JsonCodingError("\"" + text + "\" is not one of the known values.");
  }
};

template <class T>
struct JsonCoding<std::vector<T>> {
  static Json write(const std::vector<T>& values) {
    Json array = Json::array();
    for (const auto& value : values) array.push_back(toJson(value));
    return array;
  }
  static std::vector<T> read(const Json& json) {
    if (!json.is_array()) throwTypeMismatch("an array", json);
    std::vector<T> values;
    values.reserve(json.size());
    for (const auto& element : json) values.push_back(fromJson<T>(element));
    return values;
  }
};

template <class T>
struct JsonCoding<std::set<T>> {
  static Json write(const std::set<T>& values) {
    Json array = Json::array();
    for (const auto& value : values) array.push_back(toJson(value));
    return array;
  }
  static std::set<T> read(const Json& json) {
    if (!json.is_array()) throwTypeMismatch("an array", json);
    std::set<T> values;
    for (const auto& element : json) values.insert(fromJson<T>(element));
    return values;
  }
};

template <class T>
struct JsonCoding<std::map<std::string, T>> {
  static Json write(const std::map<std::string, T>& values) {
    Json object = Json::object();
    for (const auto& [key, value] : values) object[key] = toJson(value);
    return object;
  }
  static std::map<std::string, T> read(const Json& json) {
    if (!json.is_object()) throwTypeMismatch("an object", json);
    std::map<std::string, T> values;
    for (const auto& [key, value] : json.items()) values.emplace(key, fromJson<T>(value));
    return values;
  }
};

// Builds one JSON object; an absent optional field is left out entirely.
class JsonObjectWriter {
 public:
  template <class T>
  JsonObjectWriter& put(std::string_view key, const T& value) {
    object_[std::string(key)] = toJson(value);
    return *this;
  }
  template <class T>
  JsonObjectWriter& put(std::string_view key, const std::optional<T>& value) {
    if (value) put(key, *value);
    return *this;
  }
  Json take() { return std::move(object_); }

 private:
  Json object_ = Json::object();
};

// Reads the fields of one JSON object strictly.
class JsonObjectReader {
 public:
  explicit JsonObjectReader(const Json& json);

  // The value of `key`; fails when the key is missing or holds a value of another type.
  template <class T>
  T required(std::string_view key) const {
    const Json* value = find(key);
    if (value == nullptr) throw JsonCodingError("The key \"" + std::string(key) + "\" is missing.");
    return fromJson<T>(*value);
  }

  // The value of `key`, or nothing when the key is missing or null; a value of another type fails.
  template <class T>
  std::optional<T> optional(std::string_view key) const {
    const Json* value = find(key);
    if (value == nullptr || value->is_null()) return std::nullopt;
    return fromJson<T>(*value);
  }

  // The raw value of `key`, or null when missing.
  const Json* find(std::string_view key) const;

 private:
  const Json& object_;
};

}  // namespace brimwell
