#include "helper/request_handler.h"

#include "brimwell/core/helper/helper_wire.h"

namespace brimwell {

std::string handleRequestLine(std::string_view line, HelperService& service,
                              const CallAuthorizer& authorize) {
  auto request = parseRequest(line);
  if (!request) return encodeReply(request.error());

  HelperReply reply;
  reply.id = request->id;
  if (std::string refusal = authorize(request->call); !refusal.empty()) {
    reply.message = std::move(refusal);
    return encodeReply(reply);
  }
  auto message = [&](HelperService::Message text) { reply.message = std::move(text); };
  switch (request->call) {
    case HelperCall::helperVersion:
      service.helperVersion([&](std::int64_t version) { reply.version = version; });
      break;
    case HelperCall::lowPowerMode:
      service.lowPowerMode([&](bool on, HelperService::Message text) {
        reply.on = on;
        message(std::move(text));
      });
      break;
    case HelperCall::setLowPowerMode:
      service.setLowPowerMode(*request->on, message);
      break;
    case HelperCall::batteryHibernateMode:
      service.batteryHibernateMode([&](std::int64_t mode, HelperService::Message text) {
        reply.mode = mode;
        message(std::move(text));
      });
      break;
    case HelperCall::setBatteryHibernateMode:
      service.setBatteryHibernateMode(*request->mode, message);
      break;
    case HelperCall::sleepNow:
      service.sleepNow(message);
      break;
    case HelperCall::beginLowPowerMode:
      service.beginLowPowerMode([&](bool turnedOn, HelperService::Message text) {
        reply.turnedOn = turnedOn;
        message(std::move(text));
      });
      break;
    case HelperCall::endLowPowerMode:
      service.endLowPowerMode(message);
      break;
    case HelperCall::beginSafeLanding:
      service.beginSafeLanding(message);
      break;
    case HelperCall::endSafeLanding:
      service.endSafeLanding(message);
      break;
  }
  return encodeReply(reply);
}

}  // namespace brimwell
