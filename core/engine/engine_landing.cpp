// Safe Landing: at the last moment, with the landing work done and the charge at or below the
// landing percentage, the daemon switches the battery hibernate mode to 25 (the old mode noted
// first, so it can always be put back) and puts the machine to sleep. Every refusal after the
// silent preconditions is told once, in a sentence.
#include <limits>

#include "brimwell/core/engine/awaiting.h"
#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/helper/brimwell_helper_constants.h"

namespace brimwell {

std::string BrimwellEngine::unexpectedModeMessage(std::int64_t mode) {
  return "This Mac's hibernate mode is " + std::to_string(mode) + ", which Brimwell leaves alone.";
}

bool BrimwellEngine::safeLandingStillWanted() const {
  const int percent = state_.battery ? state_.battery->percent : std::numeric_limits<int>::max();
  return state_.powerSource == PowerSource::battery && state_.phase == Phase::landing &&
         percent <= thresholds().landingPercent;
}

void BrimwellEngine::disarmSafeLanding() {
  safeLandingArmed_ = false;
  cancelTimer(graceTimer_);
}

void BrimwellEngine::trySafeLanding() {
  if (!running_ || !safeLandingArmed_ || state_.powerSource != PowerSource::battery ||
      state_.phase != Phase::landing || !state_.battery ||
      state_.battery->percent > thresholds().landingPercent) {
    return;
  }
  // Not within two minutes of a start or wake: the machine may have woken to a brief charge.
  const Date earliest = addSeconds(awakeSince_, safeLandingGrace);
  const Date now = clock_->now();
  if (now < earliest) {
    if (!graceTimer_) {
      graceTimer_ = clock_->schedule(secondsBetween(earliest, now), [weak = weak_from_this()] {
        if (auto self = weak.lock()) {
          self->graceTimer_.reset();
          self->trySafeLanding();
        }
      });
    }
    return;
  }
  safeLandingArmed_ = false;  // one attempt per arming
  jobs_.push_back({Job::SafeLanding{}});
  kick();
}

asio::awaitable<void> BrimwellEngine::runSafeLanding(const BrimwellSettings& settings) {
  auto& helper = *collaborators_.helper;
  const std::string model = collaborators_.systemInfo->hostModel();
  const std::optional<std::string> passed =
      safeLandingPassedModel ? safeLandingPassedModel() : std::nullopt;
  // Only on a model where Safe Landing has been proven; otherwise silently nothing.
  if (!settings.safeLandingEnabled || settings.safeLandingProvenOnBootModel != model ||
      passed != model) {
    co_return;
  }

  if (!safeLandingStillWanted()) co_return;
  const HelperState helperState = co_await awaitCompletion<HelperState>(
      gate_, [&](auto done) { helper.state(std::move(done)); });
  updateState([&](EngineState& s) { s.helper = helperState; });
  if (!std::holds_alternative<helper_state::Ready>(helperState) || !safeLandingStillWanted()) {
    co_return;
  }

  const std::optional<bool> sleepDisabled = co_await awaitCompletion<std::optional<bool>>(
      gate_, [&](auto done) { helper.sleepDisabled(std::move(done)); });
  if (sleepDisabled == true) {
    emit(engine_event::SafeLandingFailed{sleepDisabledMessage});
    co_return;
  }

  const Result<std::int64_t> mode = co_await awaitCompletion<Result<std::int64_t>>(
      gate_, [&](auto done) { helper.batteryHibernateMode(std::move(done)); });
  if (!mode) {
    emit(engine_event::SafeLandingFailed{unreadableModeMessage});
    co_return;
  }
  if (!BrimwellHelperConstants::allowedHibernateModes.contains(*mode)) {
    emit(engine_event::SafeLandingFailed{unexpectedModeMessage(*mode)});
    co_return;
  }

  if (*mode != BrimwellHelperConstants::safeLandingHibernateMode) {
    // Noted before the change, so the mode can be put back even after a crash.
    PowerSaverRecord record = heldRecord_.value_or(PowerSaverRecord::none());
    record.previousHibernateMode = static_cast<int>(*mode);
    hold(record);
    const Status begun = co_await awaitCompletion<Status>(
        gate_, [&](auto done) { helper.beginSafeLanding(std::move(done)); });
    if (!begun) {
      emit(engine_event::SafeLandingFailed{modeNotAcceptedMessage});
      enqueueOnce({Job::EndSafeLanding{}});
      co_return;
    }
  }

  // No longer wanted: the changed mode stays held and is put back by the usual triggers.
  if (!safeLandingStillWanted()) co_return;
  emit(engine_event::SafeLandingStarting{});
  const Status slept =
      co_await awaitCompletion<Status>(gate_, [&](auto done) { helper.sleepNow(std::move(done)); });
  if (!slept) {
    emit(engine_event::SafeLandingFailed{sleepNotStartedMessage});
    if (heldRecord_ && heldRecord_->previousHibernateMode) enqueueOnce({Job::EndSafeLanding{}});
    co_return;
  }
  cancelTimer(sleepCheck_);
  sleepCheck_ = clock_->scheduleAwake(sleepConfirmTimeout, weakly(&BrimwellEngine::sleepNeverCame));
}

void BrimwellEngine::sleepNeverCame() {
  sleepCheck_.reset();
  if (!running_) return;
  emit(engine_event::SafeLandingFailed{sleepNotConfirmedMessage});
  if (heldRecord_ && heldRecord_->previousHibernateMode) enqueueOnce({Job::EndSafeLanding{}});
}

}  // namespace brimwell
