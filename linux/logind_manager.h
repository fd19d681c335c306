// The login manager's sleep operations (org.freedesktop.login1.Manager on the system bus): the
// Can questions and the sleep calls themselves, such as CanHibernate and Hibernate. Blocking
// calls on the caller's bus; one thread at a time per bus.
#pragma once

#include <string>
#include <string_view>

#include "brimwell/core/base/error.h"
#include "linux/sd_bus_ptr.h"

namespace brimwell {

// The answer to "Can" + `method` ("yes", "no", "na" or "challenge"); one sentence on failure.
Result<std::string> logindCan(sd_bus* bus, std::string_view method);

// Calls `method` (Suspend, HybridSleep or Hibernate) without asking the user for authorisation.
Status logindSleep(sd_bus* bus, std::string_view method);

}  // namespace brimwell
