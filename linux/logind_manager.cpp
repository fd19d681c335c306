#include "linux/logind_manager.h"

#include "linux/system_bus.h"

namespace brimwell {
namespace {

constexpr const char* kLogindService = "org.freedesktop.login1";
constexpr const char* kLogindPath = "/org/freedesktop/login1";
constexpr const char* kLogindManager = "org.freedesktop.login1.Manager";

}  // namespace

Result<std::string> logindCan(sd_bus* bus, std::string_view method) {
  const std::string name = "Can" + std::string(method);
  SdBusError error;
  sd_bus_message* raw = nullptr;
  int result = sd_bus_call_method(bus, kLogindService, kLogindPath, kLogindManager, name.c_str(),
                                  error.get(), &raw, "");
  SdBusMessage reply(raw);
  const char* answer = nullptr;
  if (result >= 0) result = sd_bus_message_read(reply.get(), "s", &answer);
  if (result < 0) {
    return fail("The login manager couldn't be asked " + name + " (" + busFailure(error, result) +
                ").");
  }
  return std::string(answer);
}

Status logindSleep(sd_bus* bus, std::string_view method) {
  const std::string name(method);
  SdBusError error;
  const int result = sd_bus_call_method(bus, kLogindService, kLogindPath, kLogindManager,
                                        name.c_str(), error.get(), nullptr, "b", 0);
  if (result < 0) {
    return fail("The login manager refused " + name + " (" + busFailure(error, result) + ").");
  }
  return {};
}

}  // namespace brimwell
