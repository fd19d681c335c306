// Power saving: Low Power Mode and dimming are applied during entry work and noted at once in
// "power-saver.json", so they can be undone once the adapter is back, even after a crash; a
// release that leaves something behind is retried every five minutes while on the adapter.
#include <filesystem>

#include "brimwell/core/engine/awaiting.h"
#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {

void BrimwellEngine::hold(std::optional<PowerSaverRecord> record) {
  heldRecord_ = record;
  updateState([&](EngineState& s) { s.powerSaver = record.value_or(PowerSaverRecord::none()); });
  // File errors are ignored: the record in memory stays authoritative for this run.
  if (!record) {
    std::error_code ignored;
    std::filesystem::remove(paths_.powerSaverRecord(), ignored);
  } else if (auto bytes = BrimwellJSON::encode(*record)) {
    (void)AtomicFile::write(*bytes, paths_.powerSaverRecord());
  }
}

asio::awaitable<void> BrimwellEngine::applyPowerSaving(const BrimwellSettings& settings) {
  const PowerSaverRecord applied = co_await awaitCompletion<PowerSaverRecord>(
      gate_, [&](std::function<void(PowerSaverRecord)> done) {
        collaborators_.powerSaver->apply(settings, std::move(done));
      });
  PowerSaverRecord record{applied.turnedOnLowPowerMode, applied.previousBrightness,
                          applied.dimmedTo,
                          heldRecord_ ? heldRecord_->previousHibernateMode : std::nullopt};
  hold(record.isEmpty() ? std::nullopt : std::optional(record));
  if (state_.powerSource == PowerSource::ac && heldRecord_) enqueueOnce({Job::Release{}});
}

asio::awaitable<void> BrimwellEngine::runRelease() {
  // Power saving stays while on battery.
  if (!heldRecord_ || state_.powerSource != PowerSource::ac) co_return;
  cancelTimer(undoRetry_);
  const PowerSaverRecord held = *heldRecord_;
  PowerSaverRecord remaining = co_await awaitCompletion<PowerSaverRecord>(
      gate_, [&](std::function<void(PowerSaverRecord)> done) {
        collaborators_.powerSaver->undo(held, std::move(done));
      });
  remaining.previousHibernateMode.reset();
  if (held.previousHibernateMode) {
    const Status ended = co_await awaitCompletion<Status>(
        gate_, [this](auto done) { collaborators_.helper->endSafeLanding(std::move(done)); });
    if (!ended) remaining.previousHibernateMode = held.previousHibernateMode;
  }
  hold(remaining.isEmpty() ? std::nullopt : std::optional(remaining));

  if (heldRecord_ && running_ && state_.powerSource == PowerSource::ac) {
    undoRetry_ = clock_->schedule(undoRetryInterval, [weak = weak_from_this()] {
      auto self = weak.lock();
      if (!self) return;
      self->undoRetry_.reset();
      if (self->state_.powerSource == PowerSource::ac && self->heldRecord_) {
        self->enqueueOnce({Job::Release{}});
      }
    });
  }
}

void BrimwellEngine::removeHelper(std::function<void(Status)> done) {
  collaborators_.helper->removeAll(
      [weak = weak_from_this(), &context = context_, done = std::move(done)](Status removed) {
        asio::post(context, [weak, removed = std::move(removed), done = std::move(done)] {
          auto self = weak.lock();
          if (self && removed && self->heldRecord_) {
            // Low Power Mode and the hibernate mode were the daemon's to undo, and it is gone.
            PowerSaverRecord display{false, self->heldRecord_->previousBrightness,
                                     self->heldRecord_->dimmedTo, std::nullopt};
            self->hold(display.isEmpty() ? std::nullopt : std::optional(display));
          }
          if (self && removed) self->refreshHelperState(false);
          if (done) done(removed);
        });
      });
}

}  // namespace brimwell
