#include "brimwell/core/helper/helper_wire.h"

#include <limits>

#include <nlohmann/json.hpp>

namespace brimwell {
namespace {

using nlohmann::json;

std::optional<std::int64_t> wholeNumber(const json& value) {
  if (value.is_number_unsigned()) {
    auto number = value.get<std::uint64_t>();
    if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
      return std::nullopt;
    }
    return static_cast<std::int64_t>(number);
  }
  if (value.is_number_integer()) return value.get<std::int64_t>();
  return std::nullopt;
}

HelperReply refusal(std::optional<std::int64_t> id, std::string message) {
  HelperReply reply;
  reply.id = id;
  reply.message = std::move(message);
  return reply;
}

std::string dump(const json& object) {
  return object.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

std::string encodeRequest(const HelperRequest& request) {
  json object = {{"id", request.id}, {"op", toString(request.call)}};
  if (request.on) object["on"] = *request.on;
  if (request.mode) object["mode"] = *request.mode;
  return dump(object);
}

Expected<HelperRequest, HelperReply> parseRequest(std::string_view line) {
  // Checked first: a NUL would end the line early for any reader working on C strings.
  if (line.find('\0') != std::string_view::npos) {
    return Unexpected(refusal(std::nullopt, "The request holds a NUL byte."));
  }
  json object = json::parse(line, nullptr, false);
  if (object.is_discarded() || !object.is_object()) {
    return Unexpected(refusal(std::nullopt, "The request is not a JSON object."));
  }
  auto id = object.contains("id") ? wholeNumber(object["id"]) : std::nullopt;
  if (!id) return Unexpected(refusal(std::nullopt, "The request has no whole-number \"id\"."));
  if (!object.contains("op") || !object["op"].is_string()) {
    return Unexpected(refusal(id, "The request has no \"op\" naming an operation."));
  }
  const auto& op = object["op"].get_ref<const std::string&>();
  auto call = fromString<HelperCall>(op);
  if (!call) return Unexpected(refusal(id, "The helper has no operation named \"" + op + "\"."));

  HelperRequest request;
  request.id = *id;
  request.call = *call;
  if (*call == HelperCall::setLowPowerMode) {
    if (!object.contains("on") || !object["on"].is_boolean()) {
      return Unexpected(refusal(id, "setLowPowerMode needs \"on\" set to true or false."));
    }
    request.on = object["on"].get<bool>();
  }
  if (*call == HelperCall::setBatteryHibernateMode) {
    auto mode = object.contains("mode") ? wholeNumber(object["mode"]) : std::nullopt;
    if (!mode) {
      return Unexpected(refusal(id, "setBatteryHibernateMode needs \"mode\" as a whole number."));
    }
    request.mode = *mode;
  }
  return request;
}

std::string encodeReply(const HelperReply& reply) {
  json object = json::object();
  object["id"] = reply.id ? json(*reply.id) : json(nullptr);
  if (reply.version) object["version"] = *reply.version;
  if (reply.on) object["on"] = *reply.on;
  if (reply.mode) object["mode"] = *reply.mode;
  if (reply.turnedOn) object["turnedOn"] = *reply.turnedOn;
  if (reply.message) object["message"] = *reply.message;
  return dump(object);
}

Result<HelperReply> parseReply(std::string_view line) {
  json object = json::parse(line, nullptr, false);
  if (object.is_discarded() || !object.is_object()) {
    return fail("The Brimwell helper answered with something that isn't a reply.");
  }
  HelperReply reply;
  auto number = [&](const char* key) -> std::optional<std::int64_t> {
    return object.contains(key) ? wholeNumber(object[key]) : std::nullopt;
  };
  auto flag = [&](const char* key) -> std::optional<bool> {
    if (!object.contains(key) || !object[key].is_boolean()) return std::nullopt;
    return object[key].get<bool>();
  };
  reply.id = number("id");
  reply.version = number("version");
  reply.on = flag("on");
  reply.mode = number("mode");
  reply.turnedOn = flag("turnedOn");
  if (object.contains("message") && object["message"].is_string()) {
    reply.message = object["message"].get<std::string>();
  }
  return reply;
}

}  // namespace brimwell
