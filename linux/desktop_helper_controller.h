// DesktopHelperController: the helper daemon as the engine uses it on a Linux desktop. Every
// daemon operation goes to the socket client unchanged (its state tells notInstalled, with no
// socket, unreachable with the reason, and ready apart); whether sleep is turned off comes from
// logind. Any thread may call; logind is asked on the bus connection's thread.
#pragma once

#include <asio/io_context.hpp>
#include <memory>
#include <optional>
#include <string_view>

#include "brimwell/core/helper/helper_controlling.h"
#include "linux/bus_connection.h"

namespace brimwell {

// Sleep is turned off when logind allows neither hibernating nor suspending; either answer
// absent means it cannot be told. An answer allows when it is "yes" or "challenge".
std::optional<bool> sleepDisabledFrom(const std::optional<std::string>& canHibernate,
                                      const std::optional<std::string>& canSuspend);

class DesktopHelperController final : public HelperControlling {
 public:
  // `bus` is the system bus, or null where there is none (sleepDisabled is then absent).
  DesktopHelperController(asio::io_context& context, std::shared_ptr<HelperControlling> client,
                          std::shared_ptr<BusConnection> bus)
      : context_(context), client_(std::move(client)), bus_(std::move(bus)) {}

  void state(Completion<HelperState> done) override { client_->state(std::move(done)); }
  void lowPowerMode(Completion<Result<bool>> done) override {
    client_->lowPowerMode(std::move(done));
  }
  void setLowPowerMode(bool on, Completion<Status> done) override {
    client_->setLowPowerMode(on, std::move(done));
  }
  void batteryHibernateMode(Completion<Result<std::int64_t>> done) override {
    client_->batteryHibernateMode(std::move(done));
  }
  void setBatteryHibernateMode(std::int64_t mode, Completion<Status> done) override {
    client_->setBatteryHibernateMode(mode, std::move(done));
  }
  void sleepNow(Completion<Status> done) override { client_->sleepNow(std::move(done)); }
  void beginLowPowerMode(Completion<Result<bool>> done) override {
    client_->beginLowPowerMode(std::move(done));
  }
  void endLowPowerMode(Completion<Status> done) override {
    client_->endLowPowerMode(std::move(done));
  }
  void beginSafeLanding(Completion<Status> done) override {
    client_->beginSafeLanding(std::move(done));
  }
  void endSafeLanding(Completion<Status> done) override {
    client_->endSafeLanding(std::move(done));
  }
  void removeAll(Completion<Status> done) override { client_->removeAll(std::move(done)); }
  void updateIfOutOfDate(Completion<HelperState> done) override {
    client_->updateIfOutOfDate(std::move(done));
  }

  void sleepDisabled(Completion<std::optional<bool>> done) override;

 private:
  // logind's answer to `member` ("CanHibernate", "CanSuspend"), or nothing.
  void ask(const char* member, Completion<std::optional<std::string>> done);

  asio::io_context& context_;
  std::shared_ptr<HelperControlling> client_;
  std::shared_ptr<BusConnection> bus_;
};

}  // namespace brimwell
