// The daemon's handling of one request line: parse it, run the named operation on the
// connection's service, and encode exactly one reply. A line that is not a valid request gets a
// reply with a message and runs nothing. Blocks the calling thread while the operation runs.
#pragma once

#include <string>
#include <string_view>

#include "helper/helper_service.h"

namespace brimwell {

// The reply line (without its newline) for the request `line` (without its newline).
std::string handleRequestLine(std::string_view line, HelperService& service);

}  // namespace brimwell
