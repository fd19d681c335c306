#include "linux/desktop_helper_controller.h"

#include <asio/dispatch.hpp>
#include <string>

namespace brimwell {
namespace {

bool allows(const std::string& answer) { return answer == "yes" || answer == "challenge"; }

}  // namespace

std::optional<bool> sleepDisabledFrom(const std::optional<std::string>& canHibernate,
                                      const std::optional<std::string>& canSuspend) {
  if (!canHibernate || !canSuspend) return std::nullopt;
  return !allows(*canHibernate) && !allows(*canSuspend);
}

void DesktopHelperController::sleepDisabled(Completion<std::optional<bool>> done) {
  if (!bus_) return done(std::nullopt);
  asio::dispatch(context_, [this, done = std::move(done)]() mutable {
    ask("CanHibernate", [this, done = std::move(done)](std::optional<std::string> hibernate) {
      ask("CanSuspend", [hibernate, done](std::optional<std::string> suspend) {
        done(sleepDisabledFrom(hibernate, suspend));
      });
    });
  });
}

void DesktopHelperController::ask(const char* member, Completion<std::optional<std::string>> done) {
  auto message = bus_->newCall("org.freedesktop.login1", "/org/freedesktop/login1",
                               "org.freedesktop.login1.Manager", member);
  bus_->call(std::move(message), [done = std::move(done)](Result<sd_bus_message*> reply) {
    const char* answer = nullptr;
    if (!reply || sd_bus_message_read(*reply, "s", &answer) < 0 || answer == nullptr) {
      return done(std::nullopt);
    }
    done(std::string(answer));
  });
}

}  // namespace brimwell
