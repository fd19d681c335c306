// Reading back what a mock service on a PrivateBus was asked: the arguments of every call of one
// method, as text (strings as they are, numbers and booleans in decimal, a string array as its
// items joined by '|'), through the mock's GetMethodCalls.
#pragma once

#include <systemd/sd-bus.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/support/private_bus.h"

namespace brimwell::testing {

namespace mock_calls_detail {

// One variant's value as text; the message is positioned inside the variant.
inline std::string variantText(sd_bus_message* m) {
  char type = 0;
  const char* contents = nullptr;
  if (sd_bus_message_peek_type(m, &type, &contents) <= 0) return "?";
  if (type == 's' || type == 'o') {
    const char* text = nullptr;
    sd_bus_message_read_basic(m, type, &text);
    return text;
  }
  if (type == 'u') {
    uint32_t value = 0;
    sd_bus_message_read_basic(m, type, &value);
    return std::to_string(value);
  }
  if (type == 'i') {
    int32_t value = 0;
    sd_bus_message_read_basic(m, type, &value);
    return std::to_string(value);
  }
  if (type == 'b') {
    int value = 0;
    sd_bus_message_read_basic(m, type, &value);
    return std::to_string(value);
  }
  if (type == 'a' && std::string(contents) == "s") {
    std::string joined;
    sd_bus_message_enter_container(m, 'a', "s");
    const char* item = nullptr;
    while (sd_bus_message_read_basic(m, 's', &item) > 0) {
      joined += (joined.empty() ? "" : "|") + std::string(item);
    }
    sd_bus_message_exit_container(m);
    return joined;
  }
  sd_bus_message_skip(m, nullptr);
  return "?";
}

}  // namespace mock_calls_detail

inline std::vector<std::vector<std::string>> mockCalls(const PrivateBus& bus,
                                                       const std::string& busName,
                                                       const std::string& path,
                                                       const std::string& method) {
  sd_bus* connection = bus.connect();
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  std::vector<std::vector<std::string>> calls;
  const int called =
      sd_bus_call_method(connection, busName.c_str(), path.c_str(), "org.freedesktop.DBus.Mock",
                         "GetMethodCalls", &error, &reply, "s", method.c_str());
  const std::string sentence = error.message ? error.message : "";
  sd_bus_error_free(&error);
  if (called >= 0) {
    sd_bus_message_enter_container(reply, 'a', "(tav)");
    while (sd_bus_message_enter_container(reply, 'r', "tav") > 0) {
      uint64_t at = 0;
      sd_bus_message_read(reply, "t", &at);
      std::vector<std::string> args;
      sd_bus_message_enter_container(reply, 'a', "v");
      char type = 0;
      const char* contents = nullptr;
      while (sd_bus_message_peek_type(reply, &type, &contents) > 0 && type == 'v' &&
             sd_bus_message_enter_container(reply, 'v', contents) > 0) {
        args.push_back(mock_calls_detail::variantText(reply));
        sd_bus_message_exit_container(reply);
      }
      sd_bus_message_exit_container(reply);
      sd_bus_message_exit_container(reply);
      calls.push_back(std::move(args));
    }
  }
  sd_bus_message_unref(reply);
  sd_bus_flush_close_unref(connection);
  if (called < 0) throw std::runtime_error("GetMethodCalls failed on the mock: " + sentence);
  return calls;
}

}  // namespace brimwell::testing
