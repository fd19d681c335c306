#include "brimwell/core/storage/json_coding.h"

#include <cmath>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {

std::string describeJsonType(const Json& json) {
  switch (json.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return "a boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
      return "an integer";
    case Json::value_t::number_float:
      return "a number with a fraction";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::object:
      return "an object";
    default:
      return "an unknown value";
  }
}

void throwTypeMismatch(std::string_view expected, const Json& found) {
  throw JsonCodingError("Expected " + std::string(expected) + " but found " +
                        describeJsonType(found) + ".");
}

Json JsonCoding<double>::write(double value) {
  if (!std::isfinite(value)) {
    throw JsonCodingError("The number " + std::to_string(value) + " can't be written as JSON.");
  }
  return value;
}

Json JsonCoding<Date>::write(Date value) { return BrimwellJSON::format(value); }

Date JsonCoding<Date>::read(const Json& json) {
  if (!json.is_string()) throwTypeMismatch("a date string", json);
  const auto& text = json.get_ref<const std::string&>();
  if (auto date = BrimwellJSON::parse(text)) return *date;
  throw JsonCodingError("Not an ISO8601 date: " + text);
}

JsonObjectReader::JsonObjectReader(const Json& json) : object_(json) {
  if (!json.is_object()) throwTypeMismatch("an object", json);
}

const Json* JsonObjectReader::find(std::string_view key) const {
  auto it = object_.find(key);
  return it == object_.end() ? nullptr : &*it;
}

}  // namespace brimwell
