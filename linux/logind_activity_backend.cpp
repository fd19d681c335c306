#include "linux/logind_activity_backend.h"

#include "linux/logind_inhibitor.h"

namespace brimwell {
namespace {

class NoActivity final : public ActivityBackend::Activity {};

class InhibitorActivity final : public ActivityBackend::Activity {
 public:
  InhibitorActivity(BusConnection& bus, const InhibitorRequest& request) : lock_(bus, request) {}

 private:
  LogindInhibitor lock_;
};

}  // namespace

std::unique_ptr<ActivityBackend::Activity> LogindActivityBackend::begin(ActivityLevel level,
                                                                        std::string_view reason) {
  if (level != ActivityLevel::keepAwake || !bus_) return std::make_unique<NoActivity>();
  return std::make_unique<InhibitorActivity>(
      *bus_, InhibitorRequest{"idle", who_, std::string(reason), "block"});
}

}  // namespace brimwell
