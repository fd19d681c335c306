// Battery handling: every reading updates the effective power source (believing the adapter only
// after it has stayed effective for 45 seconds), the smoothed minutes to empty and the phase; a
// deeper phase starts its protective work.
#include <algorithm>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/power/phase_policy.h"
#include "brimwell/core/rescue/rescue_ledger.h"

namespace brimwell {

void BrimwellEngine::handle(const BatteryReading& reading) {
  if (!running_) return;
  const std::optional<PowerSource> oldRaw =
      state_.battery ? std::optional(state_.battery->powerSource) : std::nullopt;
  const PowerSource effective = tracker_.effectiveSource(reading);
  updateState([&](EngineState& s) { s.battery = reading; });

  // Plug events follow the raw source of consecutive readings, not the effective one.
  if (oldRaw && *oldRaw != reading.powerSource) {
    if (reading.powerSource == PowerSource::battery) {
      emit(engine_event::Unplugged{reading});
    } else {
      emit(engine_event::PluggedIn{reading});
    }
  }

  bool switchedToBattery = false;
  if (effective == PowerSource::battery) {
    cancelTimer(acHoldTimer_);
    if (state_.powerSource != PowerSource::battery) {
      updateState([](EngineState& s) { s.powerSource = PowerSource::battery; });
      if (!session_) session_ = BatterySession{};
      switchedToBattery = true;
    }
  } else if (state_.powerSource != PowerSource::ac && !acHoldTimer_) {
    acHoldTimer_ = clock_->schedule(acHold, weakly(&BrimwellEngine::acHeld));
  }
  if (state_.powerSource == PowerSource::ac && heldRecord_) enqueueOnce({Job::Release{}});

  const Thresholds thresholds = this->thresholds();
  // While the adapter is held off, the policy still sees the battery.
  BatteryReading policy = reading;
  policy.powerSource = state_.powerSource.value_or(effective);
  std::optional<int> minutes;
  if (policy.powerSource == PowerSource::battery) {
    minutes = smoother_.add(reading.minutesToEmpty, reading.percent, clock_->now(), thresholds);
    minutesStreak_ =
        PhasePolicy::minutesQualify(minutes, reading.percent, thresholds) ? minutesStreak_ + 1 : 0;
  } else {
    minutesStreak_ = 0;
  }
  policy.minutesToEmpty = minutes;
  updateState([&](EngineState& s) { s.minutesToEmpty = minutes; });
  policyReading_ = policy;

  evaluate(!oldRaw || switchedToBattery);
  trySafeLanding();
}

void BrimwellEngine::evaluate(bool sourceChanged) {
  if (!policyReading_) return;
  const Phase old = state_.phase;
  // Two consecutive qualifying readings are needed before the minutes rule may force landing.
  const Phase next = PhasePolicy::next(old, *policyReading_, thresholds(), minutesStreak_ >= 2);
  updateState([&](EngineState& s) { s.phase = next; });

  if (next > old) entered(next, state_.battery.value_or(*policyReading_));
  if (old == Phase::landing && next < old) {
    disarmSafeLanding();
    if (heldRecord_ && heldRecord_->previousHibernateMode) enqueueOnce({Job::EndSafeLanding{}});
  }
  if (next != old || sourceChanged) writeJournal();
  if (next != old) scheduleCapture();
  updateActivity();
}

void BrimwellEngine::entered(Phase phase, const BatteryReading& reading) {
  switch (phase) {
    case Phase::watch:
      return;
    case Phase::ready:
      emit(engine_event::EnteredPhase{phase, reading});
      requestCapture(false, nullptr);
      return;
    case Phase::brimwell:
      emit(engine_event::EnteredPhase{phase, reading});
      jobs_.push_back({Job::Entry{Phase::brimwell}});
      kick();
      return;
    case Phase::landing:
      // The landing work runs once per battery session, however often the phase swings.
      if (session_ && session_->landingDone) return;
      if (session_) session_->landingDone = true;
      emit(engine_event::EnteredPhase{phase, reading});
      std::erase_if(jobs_, [](const Job& job) {
        const auto* entry = std::get_if<Job::Entry>(&job.work);
        return entry != nullptr && entry->phase == Phase::brimwell;
      });
      if (abandonLightCapture_) abandonLightCapture_();
      jobs_.push_front({Job::Entry{Phase::landing}});
      kick();
      return;
  }
}

void BrimwellEngine::acHeld() {
  acHoldTimer_.reset();
  if (!running_ || state_.powerSource == PowerSource::ac) return;
  updateState([](EngineState& s) { s.powerSource = PowerSource::ac; });
  session_.reset();
  RescueLedger(paths_).clear();
  smoother_.reset();
  minutesStreak_ = 0;
  disarmSafeLanding();
  if (policyReading_) {
    policyReading_->powerSource = PowerSource::ac;
    policyReading_->minutesToEmpty.reset();
  }
  updateState([](EngineState& s) { s.minutesToEmpty.reset(); });
  if (heldRecord_) enqueueOnce({Job::Release{}});
  evaluate(true);
}

void BrimwellEngine::settingsDidChange() {
  if (!running_) return;
  evaluate(false);
  scheduleCapture();
}

}  // namespace brimwell
