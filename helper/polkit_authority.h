// PolkitAuthority: asks polkit (org.freedesktop.PolicyKit1.Authority.CheckAuthorization on the
// system bus) about each call, with the peer as a unix-process subject (pid, start time, uid).
// Root peers are allowed without a question. No answer within the time limit, from the bus or
// from polkit, refuses the call. Keeps one bus connection, opened on first use and dropped after
// any failure; one instance per thread.
#pragma once

#include <chrono>
#include <memory>

#include "helper/call_authority.h"

struct sd_bus;

namespace brimwell {

class PolkitAuthority : public CallAuthority {
 public:
  explicit PolkitAuthority(std::chrono::milliseconds limit = std::chrono::seconds(5));
  ~PolkitAuthority() override;
  PolkitAuthority(const PolkitAuthority&) = delete;
  PolkitAuthority& operator=(const PolkitAuthority&) = delete;

  Authorization authorize(const PeerProcess& peer, HelperAction action) override;

 private:
  Authorization ask(const PeerProcess& peer, HelperAction action);

  const std::chrono::milliseconds limit_;
  sd_bus* bus_ = nullptr;
};

}  // namespace brimwell
