// The helper's wire format: one JSON object per line in each direction. A request names its
// operation by the HelperCall raw value; a reply echoes the request's id and carries "message"
// only when the operation failed. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "brimwell/core/base/error.h"
#include "brimwell/core/helper/helper_call.h"

namespace brimwell {

// The longest request or reply line accepted, without its newline.
inline constexpr std::size_t maxHelperLineLength = 64 * 1024;

struct HelperRequest {
  std::int64_t id = 0;
  HelperCall call = HelperCall::helperVersion;
  std::optional<bool> on;            // setLowPowerMode
  std::optional<std::int64_t> mode;  // setBatteryHibernateMode
  friend bool operator==(const HelperRequest&, const HelperRequest&) = default;
};

struct HelperReply {
  std::optional<std::int64_t> id;  // absent when the request had no usable id
  std::optional<std::int64_t> version;
  std::optional<bool> on;
  std::optional<std::int64_t> mode;
  std::optional<bool> turnedOn;
  std::optional<std::string> message;  // present exactly when the operation failed
  friend bool operator==(const HelperReply&, const HelperReply&) = default;
};

// The request as one line, without the newline.
std::string encodeRequest(const HelperRequest& request);

// The request a line holds, or the reply that tells the sender what is wrong with it.
Expected<HelperRequest, HelperReply> parseRequest(std::string_view line);

// The reply as one line, without the newline.
std::string encodeReply(const HelperReply& reply);

// The reply a line holds; a line that is not a reply object fails with a sentence.
Result<HelperReply> parseReply(std::string_view line);

}  // namespace brimwell
