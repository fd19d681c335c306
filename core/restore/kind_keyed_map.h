// JSON coding of maps keyed by an enumeration with raw values (such as BrowserKind): objects whose
// keys are the raw values. Reading fails on a key that is none of the raw values.
#pragma once

#include <map>
#include <string>

#include "brimwell/core/base/enum_text.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell {

template <NamedEnum K, class V>
struct JsonCoding<std::map<K, V>> {
  static Json write(const std::map<K, V>& values) {
    Json object = Json::object();
    for (const auto& [key, value] : values) object[std::string(toString(key))] = toJson(value);
    return object;
  }
  static std::map<K, V> read(const Json& json) {
    if (!json.is_object()) throwTypeMismatch("an object", json);
    std::map<K, V> values;
    for (const auto& [text, value] : json.items()) {
      const auto key = enumFromString<K>(text);
      if (!key) throw JsonCodingError("\"" + text + "\" is not one of the known values.");
      values.emplace(*key, fromJson<V>(value));
    }
    return values;
  }
};

}  // namespace brimwell
