// The daemon's handling of one request line: parse it, ask whether the peer may make the call,
// run the named operation on the connection's service, and encode exactly one reply. A line that
// is not a valid request, or a call that is not authorised, gets a reply with a message and runs
// nothing. Blocks the calling thread while the authorisation and the operation run.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "brimwell/core/helper/helper_call.h"
#include "helper/helper_service.h"

namespace brimwell {

// The sentence refusing `call`, or empty when the peer may make it.
using CallAuthorizer = std::function<std::string(HelperCall call)>;

// The reply line (without its newline) for the request `line` (without its newline).
std::string handleRequestLine(std::string_view line, HelperService& service,
                              const CallAuthorizer& authorize);

}  // namespace brimwell
