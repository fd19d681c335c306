// HelperService: the ten helper operations for one connection, built on the command runner, the
// power tool's output parser and the record store. Every change is recorded first and read back
// after; every failure is one sentence. All operations except `helperVersion` (and the early
// refusal of a bad hibernate mode) run on one process-wide serial queue, so calls from any
// threads and connections never interleave their runs or record updates. Each reply is called
// exactly once, before the operation returns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "helper/command_runner.h"
#include "helper/helper_command.h"
#include "helper/helper_record_store.h"
#include "helper/serial_queue.h"

namespace brimwell {

class HelperService {
 public:
  using Message = std::optional<std::string>;  // absent on success
  using Reply = std::function<void(Message)>;
  using FlagReply = std::function<void(bool, Message)>;
  using ModeReply = std::function<void(std::int64_t, Message)>;

  // `pmset`: the power tool to run; the installed one unless a test or development run says
  // otherwise.
  HelperService(std::shared_ptr<CommandRunner> runner, std::shared_ptr<HelperRecordStore> store,
                std::int64_t version, std::string pmset = std::string(pmsetPath));

  void helperVersion(const std::function<void(std::int64_t)>& reply);
  void lowPowerMode(const FlagReply& reply);
  void setLowPowerMode(bool on, const Reply& reply);
  void batteryHibernateMode(const ModeReply& reply);
  // 25 begins Safe Landing, 0 or 3 end it; anything else is refused at once.
  void setBatteryHibernateMode(std::int64_t mode, const Reply& reply);
  void sleepNow(const Reply& reply);
  // Replies whether this call turned battery Low Power Mode on.
  void beginLowPowerMode(const FlagReply& reply);
  void endLowPowerMode(const Reply& reply);
  void beginSafeLanding(const Reply& reply);
  void endSafeLanding(const Reply& reply);

  // The one command queue of the process.
  static SerialQueue& commands();

 private:
  struct Failure {
    std::string message;
  };
  template <class T>
  using Step = Expected<T, Failure>;

  Step<std::string> output(const HelperCommand& command);
  Step<bool> readLowPowerMode();
  Step<bool> readBatteryLowPowerMode();
  Step<std::int64_t> readBatteryHibernateMode();
  Message beginSafeLandingNow();
  Message endSafeLandingNow();
  std::pair<bool, Message> beginLowPowerModeNow();
  Message endLowPowerModeNow();
  Message saveOrSay(const HelperRecord& record);

  std::shared_ptr<CommandRunner> runner_;
  std::shared_ptr<HelperRecordStore> store_;
  std::int64_t version_;
  std::string pmset_;
};

}  // namespace brimwell
