#include "helper/helper_service.h"

#include "brimwell/core/base/white_space.h"
#include "brimwell/core/helper/brimwell_helper_constants.h"
#include "helper/pmset_parser.h"

namespace brimwell {
namespace {

using namespace helper_command;

std::string trimmed(const std::string& text) { return std::string(trimWhiteSpace(text)); }

std::string baseName(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

HelperService::HelperService(std::shared_ptr<CommandRunner> runner,
                             std::shared_ptr<HelperRecordStore> store, std::int64_t version,
                             std::string pmset)
    : runner_(std::move(runner)),
      store_(std::move(store)),
      version_(version),
      pmset_(std::move(pmset)) {}

SerialQueue& HelperService::commands() {
  static SerialQueue queue;
  return queue;
}

HelperService::Step<std::string> HelperService::output(const HelperCommand& command) {
  const auto args = arguments(command);
  std::string commandLine = baseName(pmset_);
  for (const auto& each : args) commandLine += " " + each;

  auto result = runner_->run(pmset_, args, BrimwellHelperConstants::commandTimeout,
                             BrimwellHelperConstants::commandStopGrace);
  if (!result) {
    return Unexpected(Failure{commandLine + " could not run: " + result.error().describe()});
  }
  if (result->status != 0) {
    std::string detail = trimmed(result->stderr);
    if (detail.empty()) detail = trimmed(result->stdout);
    if (detail.empty()) detail = "no output";
    return Unexpected(
        Failure{commandLine + " failed (" + std::to_string(result->status) + "): " + detail});
  }
  return std::move(result->stdout);
}

HelperService::Step<bool> HelperService::readLowPowerMode() {
  auto text = output(ReadSettings{});
  if (!text) return Unexpected(text.error());
  auto on = PmsetParser::lowPowerMode(*text);
  if (!on) return Unexpected(Failure{"pmset -g does not report Low Power Mode on this Mac"});
  return *on;
}

HelperService::Step<bool> HelperService::readBatteryLowPowerMode() {
  auto text = output(ReadCustom{});
  if (!text) return Unexpected(text.error());
  auto on = PmsetParser::batteryLowPowerMode(*text);
  if (!on) {
    return Unexpected(Failure{"pmset -g custom has no battery Low Power Mode on this Mac"});
  }
  return *on;
}

HelperService::Step<std::int64_t> HelperService::readBatteryHibernateMode() {
  auto text = output(ReadCustom{});
  if (!text) return Unexpected(text.error());
  auto mode = PmsetParser::batteryHibernateMode(*text);
  if (!mode) {
    return Unexpected(Failure{"pmset -g custom has no battery hibernate mode on this Mac"});
  }
  return *mode;
}

HelperService::Message HelperService::saveOrSay(const HelperRecord& record) {
  auto saved = store_->save(record);
  if (!saved) return "The helper couldn't update its record (" + saved.error().describe() + ")";
  return std::nullopt;
}

void HelperService::helperVersion(const std::function<void(std::int64_t)>& reply) {
  reply(version_);
}

void HelperService::lowPowerMode(const FlagReply& reply) {
  commands().sync([&] {
    auto on = readLowPowerMode();
    if (!on) return reply(false, on.error().message);
    reply(*on, std::nullopt);
  });
}

void HelperService::setLowPowerMode(bool on, const Reply& reply) {
  commands().sync([&] {
    if (auto changed = output(SetAllLowPowerMode{on}); !changed) {
      return reply(changed.error().message);
    }
    auto now = readLowPowerMode();
    if (!now) return reply(now.error().message);
    if (*now == on) return reply(std::nullopt);
    reply(std::string("Low Power Mode did not change (pmset still reports it ") +
          (on ? "off" : "on") + ")");
  });
}

void HelperService::batteryHibernateMode(const ModeReply& reply) {
  commands().sync([&] {
    auto mode = readBatteryHibernateMode();
    if (!mode) return reply(-1, mode.error().message);
    reply(*mode, std::nullopt);
  });
}

void HelperService::setBatteryHibernateMode(std::int64_t mode, const Reply& reply) {
  if (!BrimwellHelperConstants::allowedHibernateModes.contains(mode)) {
    return reply("Refused: hibernate mode " + std::to_string(mode) + " is not 0, 3 or 25");
  }
  commands().sync([&] {
    if (mode == rawValue(HibernateMode::hibernate)) return reply(beginSafeLandingNow());
    reply(endSafeLandingNow());
  });
}

void HelperService::sleepNow(const Reply& reply) {
  commands().sync([&] {
    auto slept = output(SleepNow{});
    reply(slept ? Message() : Message(slept.error().message));
  });
}

void HelperService::beginLowPowerMode(const FlagReply& reply) {
  commands().sync([&] {
    auto [turnedOn, message] = beginLowPowerModeNow();
    reply(turnedOn, message);
  });
}

void HelperService::endLowPowerMode(const Reply& reply) {
  commands().sync([&] { reply(endLowPowerModeNow()); });
}

void HelperService::beginSafeLanding(const Reply& reply) {
  commands().sync([&] { reply(beginSafeLandingNow()); });
}

void HelperService::endSafeLanding(const Reply& reply) {
  commands().sync([&] { reply(endSafeLandingNow()); });
}

HelperService::Message HelperService::beginSafeLandingNow() {
  HelperRecord record = store_->load();
  auto current = readBatteryHibernateMode();
  if (!current) return current.error().message;
  const std::int64_t hibernate = rawValue(HibernateMode::hibernate);
  if (!record.hibernateModeToRestore) {
    if (*current == hibernate) return std::nullopt;
    if (*current != rawValue(HibernateMode::noImage) &&
        *current != rawValue(HibernateMode::memoryPowered)) {
      return "Refused: the battery hibernate mode is " + std::to_string(*current) +
             ", which Brimwell leaves alone";
    }
    HelperRecord updated = record;
    updated.hibernateModeToRestore = *current;
    if (auto saved = store_->save(updated); !saved) {
      return "The helper couldn't record the hibernate mode, so it changed nothing (" +
             saved.error().describe() + ")";
    }
  } else if (*current == hibernate) {
    return std::nullopt;
  }
  if (auto changed = output(SetBatteryHibernateMode{HibernateMode::hibernate}); !changed) {
    return changed.error().message;
  }
  auto after = readBatteryHibernateMode();
  if (!after) return after.error().message;
  if (*after == hibernate) return std::nullopt;
  return "The battery hibernate mode did not change (pmset reports " + std::to_string(*after) + ")";
}

HelperService::Message HelperService::endSafeLandingNow() {
  HelperRecord record = store_->load();
  if (!record.hibernateModeToRestore) return std::nullopt;
  const std::int64_t recorded = *record.hibernateModeToRestore;
  auto mode = hibernateModeFromRaw(recorded);
  if (mode && *mode != HibernateMode::hibernate) {
    if (auto changed = output(SetBatteryHibernateMode{*mode}); !changed) {
      return changed.error().message;
    }
    auto after = readBatteryHibernateMode();
    if (!after) return after.error().message;
    if (*after != recorded) {
      return "The battery hibernate mode did not go back to " + std::to_string(recorded) +
             " (pmset reports " + std::to_string(*after) + ")";
    }
  }
  HelperRecord cleared = record;
  cleared.hibernateModeToRestore.reset();
  return saveOrSay(cleared);
}

std::pair<bool, HelperService::Message> HelperService::beginLowPowerModeNow() {
  HelperRecord record = store_->load();
  auto current = readBatteryLowPowerMode();
  if (!current) return {false, current.error().message};
  if (*current) return {record.batteryLowPowerModeToRestore.has_value(), std::nullopt};
  if (!record.batteryLowPowerModeToRestore) {
    HelperRecord updated = record;
    updated.batteryLowPowerModeToRestore = false;
    if (auto saved = store_->save(updated); !saved) {
      return {false, "The helper couldn't record Low Power Mode, so it changed nothing (" +
                         saved.error().describe() + ")"};
    }
  }
  if (auto changed = output(SetBatteryLowPowerMode{true}); !changed) {
    return {false, changed.error().message};
  }
  auto after = readBatteryLowPowerMode();
  if (!after) return {false, after.error().message};
  if (*after) return {true, std::nullopt};
  return {false, "Low Power Mode did not turn on for battery (pmset still reports it off)"};
}

HelperService::Message HelperService::endLowPowerModeNow() {
  HelperRecord record = store_->load();
  if (!record.batteryLowPowerModeToRestore) return std::nullopt;
  const bool recorded = *record.batteryLowPowerModeToRestore;
  HelperRecord cleared = record;
  cleared.batteryLowPowerModeToRestore.reset();
  auto current = readBatteryLowPowerMode();
  if (!current) return current.error().message;
  if (*current == recorded) return saveOrSay(cleared);
  if (auto changed = output(SetBatteryLowPowerMode{recorded}); !changed) {
    return changed.error().message;
  }
  auto after = readBatteryLowPowerMode();
  if (!after) return after.error().message;
  if (*after == recorded) return saveOrSay(cleared);
  return std::string("Low Power Mode for battery did not go back (pmset still reports it ") +
         (recorded ? "off" : "on") + ")";
}

}  // namespace brimwell
