// Who may make the daemon do what. Every call belongs to one of two polkit actions: reading the
// power settings, which any local user may do, and changing them or sleeping the machine, which
// needs an active local session (the rule the login manager applies to suspending). A
// CallAuthority answers whether one peer process may take one action; the daemon asks it for
// every call, on the connection's own thread, before anything runs.
#pragma once

#include <string>
#include <string_view>

#include "brimwell/core/helper/helper_call.h"
#include "helper/peer_process.h"

namespace brimwell {

enum class HelperAction { read, change };

// The action `call` needs.
HelperAction actionFor(HelperCall call);

// The polkit action id, e.g. "com.tallowgate.brimwell.helper.read".
std::string_view polkitActionId(HelperAction action);

struct Authorization {
  enum class Verdict { allowed, denied, unanswered, unreachable, peerGone };
  Verdict verdict = Verdict::denied;
  std::string detail;  // why the authority could not be asked, for `unreachable`

  bool allowed() const { return verdict == Verdict::allowed; }
};

// The sentence a refused call is answered with; empty for an allowed one.
std::string refusalSentence(HelperAction action, const Authorization& authorization);

class CallAuthority {
 public:
  virtual ~CallAuthority() = default;
  // Blocks the calling thread for at most the authority's own time limit.
  virtual Authorization authorize(const PeerProcess& peer, HelperAction action) = 0;
};

}  // namespace brimwell
