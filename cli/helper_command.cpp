#include "cli/helper_command.h"

#include <charconv>
#include <future>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "brimwell/core/helper/helper_client.h"
#include "cli/support_option.h"

namespace brimwell::cli {
namespace {

struct HelperOptions {
  std::string operation;
  std::string argument;
  std::string socket;
};

std::string operationNames() {
  std::string names;
  for (const auto call : allHelperCalls) names += (names.empty() ? "" : ", ") + toString(call);
  return names;
}

std::optional<std::int64_t> wholeNumber(const std::string& text) {
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// Runs `start` with a completion and waits for what it is handed.
template <class T, class Start>
T await(Start start) {
  auto promise = std::make_shared<std::promise<T>>();
  auto future = promise->get_future();
  start([promise](T value) { promise->set_value(std::move(value)); });
  return future.get();
}

// The printed outcome: the result's text on success, or the failure sentence.
int finish(const Status& status, const std::string& done) {
  if (!status) return reportFailure(status.error().message());
  std::cout << done << '\n';
  return 0;
}

int runHelper(const HelperOptions& options) {
  const auto call = fromString<HelperCall>(options.operation);
  if (!call) {
    return reportFailure("\"" + options.operation + "\" is not a helper operation; use one of " +
                             operationNames() + ".",
                         2);
  }
  const bool takesArgument =
      *call == HelperCall::setLowPowerMode || *call == HelperCall::setBatteryHibernateMode;
  if (!takesArgument && !options.argument.empty()) {
    return reportFailure(toString(*call) + " takes no argument.", 2);
  }
  std::optional<bool> on;
  std::optional<std::int64_t> mode;
  if (*call == HelperCall::setLowPowerMode) {
    if (options.argument == "on" || options.argument == "off") on = options.argument == "on";
    if (!on) return reportFailure("setLowPowerMode needs on or off.", 2);
  }
  if (*call == HelperCall::setBatteryHibernateMode) {
    mode = wholeNumber(options.argument);
    if (!mode) return reportFailure("setBatteryHibernateMode needs a whole-number MODE.", 2);
  }

  HelperClientOptions clientOptions = HelperClientOptions::defaults();
  if (!options.socket.empty()) clientOptions.socketPath = options.socket;
  HelperClient client(clientOptions);
  switch (*call) {
    case HelperCall::helperVersion: {
      auto version = await<Result<std::int64_t>>([&](auto done) { client.helperVersion(done); });
      if (!version) return reportFailure(version.error().message());
      std::cout << *version << '\n';
      return 0;
    }
    case HelperCall::lowPowerMode: {
      auto state = await<Result<bool>>([&](auto done) { client.lowPowerMode(done); });
      if (!state) return reportFailure(state.error().message());
      std::cout << (*state ? "on" : "off") << '\n';
      return 0;
    }
    case HelperCall::batteryHibernateMode: {
      auto value =
          await<Result<std::int64_t>>([&](auto done) { client.batteryHibernateMode(done); });
      if (!value) return reportFailure(value.error().message());
      std::cout << *value << '\n';
      return 0;
    }
    case HelperCall::beginLowPowerMode: {
      auto turned = await<Result<bool>>([&](auto done) { client.beginLowPowerMode(done); });
      if (!turned) return reportFailure(turned.error().message());
      std::cout << (*turned ? "turned on" : "already on") << '\n';
      return 0;
    }
    case HelperCall::setLowPowerMode:
      return finish(await<Status>([&](auto done) { client.setLowPowerMode(*on, done); }),
                    *on ? "on" : "off");
    case HelperCall::setBatteryHibernateMode:
      return finish(await<Status>([&](auto done) { client.setBatteryHibernateMode(*mode, done); }),
                    std::to_string(*mode));
    case HelperCall::sleepNow:
      return finish(await<Status>([&](auto done) { client.sleepNow(done); }), "done");
    case HelperCall::endLowPowerMode:
      return finish(await<Status>([&](auto done) { client.endLowPowerMode(done); }), "done");
    case HelperCall::beginSafeLanding:
      return finish(await<Status>([&](auto done) { client.beginSafeLanding(done); }), "done");
    case HelperCall::endSafeLanding:
      return finish(await<Status>([&](auto done) { client.endSafeLanding(done); }), "done");
  }
  return reportFailure("The helper operation is not known.", 2);
}

}  // namespace

void addHelperCommand(CLI::App& app, int& status) {
  CLI::App* command =
      app.add_subcommand("helper", "Call one operation of the helper daemon and print its result.");
  auto options = std::make_shared<HelperOptions>();
  command->add_option("operation", options->operation, "One of: " + operationNames())->required();
  command->add_option("argument", options->argument,
                      "on or off for setLowPowerMode; the MODE for setBatteryHibernateMode");
  command->add_option("--socket", options->socket,
                      "The daemon's socket (default: the installed daemon's)");
  command->callback([options, &status] { status = runHelper(*options); });
}

}  // namespace brimwell::cli
