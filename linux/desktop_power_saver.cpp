#include "linux/desktop_power_saver.h"

#include <asio/post.hpp>

namespace brimwell {

DesktopPowerSaver::DesktopPowerSaver(asio::io_context& context,
                                     std::shared_ptr<HelperControlling> helper,
                                     std::shared_ptr<BusConnection> bus,
                                     DesktopPowerSaverOptions options)
    : context_(context),
      helper_(std::move(helper)),
      bus_(std::move(bus)),
      options_(std::move(options)) {}

void DesktopPowerSaver::apply(const BrimwellSettings& settings,
                              std::function<void(PowerSaverRecord)> done) {
  if (!settings.powerSaverLowPowerMode) return dim(settings, PowerSaverRecord::none(), done);
  // The daemon answers on a thread of its own.
  helper_->beginLowPowerMode(
      [self = shared_from_this(), settings, done = std::move(done)](Result<bool> turnedOn) {
        asio::post(self->context_, [self, settings, done, on = turnedOn && *turnedOn] {
          self->dim(settings, PowerSaverRecord{.turnedOnLowPowerMode = on}, done);
        });
      });
}

void DesktopPowerSaver::dim(const BrimwellSettings& settings, PowerSaverRecord record,
                            std::function<void(PowerSaverRecord)> done) {
  const auto panel = panelBacklight(readBacklights(options_.backlights));
  if (!settings.powerSaverDim || !panel || !bus_) return done(record);
  const long level = panel->level(settings.dimTarget);
  if (level >= panel->brightness) return done(record);  // already as dim as asked
  setLevel(*panel, level,
           [panel = *panel, level, record, done = std::move(done)](bool accepted) mutable {
             if (accepted) {
               record.previousBrightness = panel.fraction();
               record.dimmedTo = static_cast<double>(level) / panel.maxBrightness;
             }
             done(record);
           });
}

void DesktopPowerSaver::restore(const PowerSaverRecord& record, std::function<void()> done) {
  undo(record, [done = std::move(done)](PowerSaverRecord) { done(); });
}

void DesktopPowerSaver::undo(const PowerSaverRecord& record,
                             std::function<void(PowerSaverRecord)> done) {
  PowerSaverRecord remaining{.previousHibernateMode = record.previousHibernateMode};
  if (!record.turnedOnLowPowerMode) return brighten(record, remaining, done);
  helper_->endLowPowerMode(
      [self = shared_from_this(), record, remaining, done = std::move(done)](Status ended) mutable {
        remaining.turnedOnLowPowerMode = !ended;
        asio::post(self->context_,
                   [self, record, remaining, done] { self->brighten(record, remaining, done); });
      });
}

void DesktopPowerSaver::brighten(const PowerSaverRecord& record, PowerSaverRecord remaining,
                                 std::function<void(PowerSaverRecord)> done) {
  if (!record.previousBrightness) return done(remaining);
  const auto panel = panelBacklight(readBacklights(options_.backlights));
  auto keep = [record, remaining, done](bool putBack) mutable {
    if (!putBack) {
      remaining.previousBrightness = record.previousBrightness;
      remaining.dimmedTo = record.dimmedTo;
    }
    done(remaining);
  };
  if (!panel || !bus_) return keep(false);
  setLevel(*panel, panel->level(*record.previousBrightness), std::move(keep));
}

void DesktopPowerSaver::setLevel(const Backlight& panel, long level,
                                 std::function<void(bool)> done) {
  const std::string path = "/org/freedesktop/login1/session/" + options_.session;
  auto message = bus_->newCall("org.freedesktop.login1", path.c_str(),
                               "org.freedesktop.login1.Session", "SetBrightness");
  if (message && sd_bus_message_append(message.get(), "ssu", "backlight", panel.name.c_str(),
                                       static_cast<std::uint32_t>(level)) < 0) {
    message.reset();
  }
  bus_->call(std::move(message),
             [done = std::move(done)](Result<sd_bus_message*> reply) { done(reply.has_value()); });
}

}  // namespace brimwell
