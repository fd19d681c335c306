// The engine's life: start, stop, the journal and its heartbeat, clean exits, sleep and wake, the
// helper's state, and the one job queue through which all long work runs, one piece at a time.
#include <asio/co_spawn.hpp>
#include <asio/post.hpp>

#include "brimwell/core/engine/awaiting.h"
#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/journal/shutdown_detector.h"

namespace brimwell {

BrimwellEngine::BrimwellEngine(asio::io_context& context, Collaborators collaborators,
                               std::shared_ptr<SnapshotStore> snapshots,
                               std::shared_ptr<JournalStore> journal, BrimwellPaths paths,
                               std::function<BrimwellSettings()> settings, std::string appVersion,
                               std::shared_ptr<EngineClock> clock,
                               std::shared_ptr<ActivityHolding> activity)
    : context_(context),
      collaborators_(std::move(collaborators)),
      snapshots_(std::move(snapshots)),
      journal_(std::move(journal)),
      paths_(std::move(paths)),
      settings_(std::move(settings)),
      appVersion_(std::move(appVersion)),
      clock_(std::move(clock)),
      activity_(activity ? std::move(activity) : std::make_shared<ProcessActivity>()),
      awakeSince_(clock_->now()) {
  runInBackground = [this](std::function<void()> work) {
    asio::post(background_, std::move(work));
  };
}

BrimwellEngine::~BrimwellEngine() {
  background_.join();
  gate_->close();
}

void BrimwellEngine::finishBackgroundWork() {
  background_.join();
  gate_->close();
}

void BrimwellEngine::publish(EngineState next) {
  if (next == state_) return;
  state_ = std::move(next);
  if (onState) onState(state_);
}

void BrimwellEngine::emit(EngineEvent event) {
  if (onEvent) onEvent(event);
}

void BrimwellEngine::answer(SummaryCompletion waiter, std::optional<SnapshotSummary> summary) {
  if (!waiter) return;
  asio::post(context_,
             [waiter = std::move(waiter), summary = std::move(summary)] { waiter(summary); });
}

Thresholds BrimwellEngine::thresholds() const { return settings().thresholds.inForce(); }

void BrimwellEngine::cancelTimer(std::shared_ptr<Cancellable>& timer) {
  if (timer) timer->cancel();
  timer.reset();
}

std::function<void()> BrimwellEngine::weakly(void (BrimwellEngine::*method)()) {
  return [weak = weak_from_this(), method] {
    if (auto self = weak.lock()) (self.get()->*method)();
  };
}

ShutdownVerdict BrimwellEngine::start() {
  if (running_) return launchVerdict_;
  running_ = true;
  bootSession_ = collaborators_.systemInfo->bootSessionUUID();
  awakeSince_ = clock_->now();

  const std::optional<Journal> previous = journal_->read();
  launchVerdict_ =
      ShutdownDetector::verdict(previous, bootSession_, thresholds(),
                                [this](const std::string& id) { return snapshots_->contains(id); });
  setUpPendingRestore(previous);

  const std::optional<SnapshotSummary> latest = snapshots_->latestSummary();
  latestSnapshotID_ = latest ? std::optional(latest->id) : std::nullopt;
  heldRecord_ = PowerSaverRecord::load(paths_.powerSaverRecord());
  updateState([&](EngineState& s) {
    s.latest = latest;
    s.powerSaver = heldRecord_.value_or(PowerSaverRecord::none());
  });

  writeJournal();

  collaborators_.battery->start(
      [weak = weak_from_this(), &context = context_](BatteryReading reading) {
        auto deliver = [weak, reading] {
          if (auto self = weak.lock()) self->handle(reading);
        };
        if (context.get_executor().running_in_this_thread()) {
          deliver();
        } else {
          asio::post(context, std::move(deliver));
        }
      });
  refreshHelperState(true);
  scheduleCapture();
  return launchVerdict_;
}

void BrimwellEngine::stop() {
  if (!running_) return;
  running_ = false;
  collaborators_.battery->stop();
  for (auto* timer :
       {&captureTimer_, &heartbeatTimer_, &acHoldTimer_, &graceTimer_, &sleepCheck_, &undoRetry_}) {
    cancelTimer(*timer);
  }
  if (pendingCapture_) {
    auto waiters = std::move(pendingCapture_->waiters);
    pendingCapture_.reset();
    for (auto& waiter : waiters) answer(std::move(waiter), std::nullopt);
  }
  auto jobs = std::move(jobs_);
  jobs_.clear();
  for (auto& job : jobs) {
    if (auto* drill = std::get_if<Job::Drill>(&job.work)) {
      answer(std::move(drill->continuation), std::nullopt);
    }
  }
  activity_->hold(ActivityLevel::none);
}

void BrimwellEngine::writeJournal() {
  const Date now = clock_->now();
  Journal journal;
  journal.heartbeat = now;
  if (state_.battery) journal.batteryPercent = state_.battery->percent;
  journal.powerSource = state_.powerSource;
  journal.phase = state_.phase;
  journal.bootSessionUUID = bootSession_;
  journal.latestSnapshotID = latestSnapshotID_;
  journal.cleanExit = cleanExitAt_ && secondsBetween(now, *cleanExitAt_) < cleanExitGrace;
  journal.drillPending = drillPending_;
  journal.appVersion = appVersion_;
  journal.drillSnapshotID = drillSnapshotID_;
  if (journal.cleanExit) journal.exitReason = exitReason_;
  if (state_.pendingRestore) {
    journal.pendingRestoreSnapshotID = state_.pendingRestore->snapshot.id;
    journal.pendingRestoreKind = state_.pendingRestore->verdict.kind();
    journal.pendingRestoreAt = state_.pendingRestore->verdict.date();
  }
  if (pin_ && pin_->until > now) {
    journal.pinnedSnapshotID = pin_->id;
    journal.pinnedUntil = pin_->until;
  }
  // A journal that can't be written is skipped; the next heartbeat tries again.
  (void)journal_->write(journal);
  scheduleHeartbeat();
}

void BrimwellEngine::scheduleHeartbeat() {
  cancelTimer(heartbeatTimer_);
  if (!running_) return;
  const double interval = state_.phase == Phase::watch ? heartbeatWhenCalm : heartbeatWhenLow;
  heartbeatTimer_ = clock_->schedule(interval, weakly(&BrimwellEngine::writeJournal));
}

void BrimwellEngine::markCleanExit(ExitReason reason) {
  const Date now = clock_->now();
  const bool recent = cleanExitAt_ && secondsBetween(now, *cleanExitAt_) < cleanExitGrace;
  // A shutdown or termination announced moments before a quit stays the reason.
  if (!(reason == ExitReason::quit && recent && exitReason_)) exitReason_ = reason;
  cleanExitAt_ = now;
  writeJournal();
}

void BrimwellEngine::systemWillSleep() { cancelTimer(sleepCheck_); }

void BrimwellEngine::systemDidWake() {
  if (!running_) return;
  awakeSince_ = clock_->now();
  cancelTimer(sleepCheck_);
  if (heldRecord_ && heldRecord_->previousHibernateMode) enqueueOnce({Job::EndSafeLanding{}});
  if (state_.powerSource == PowerSource::ac && heldRecord_) enqueueOnce({Job::Release{}});
  if (session_ && session_->landingDone && state_.phase == Phase::landing &&
      state_.powerSource == PowerSource::battery) {
    safeLandingArmed_ = true;
    trySafeLanding();
  }
}

void BrimwellEngine::refreshHelperState(bool updating) {
  auto deliver = [weak = weak_from_this(), &context = context_](HelperState helper) {
    asio::post(context, [weak, helper = std::move(helper)] {
      if (auto self = weak.lock()) self->updateState([&](EngineState& s) { s.helper = helper; });
    });
  };
  if (updating) {
    collaborators_.helper->updateIfOutOfDate(std::move(deliver));
  } else {
    collaborators_.helper->state(std::move(deliver));
  }
}

void BrimwellEngine::enqueueOnce(Job job) {
  const auto queued = [&](auto kind) {
    for (const auto& other : jobs_) {
      if (std::holds_alternative<decltype(kind)>(other.work)) return true;
    }
    return false;
  };
  if (std::holds_alternative<Job::Release>(job.work) && queued(Job::Release{})) return;
  if (std::holds_alternative<Job::EndSafeLanding>(job.work) && queued(Job::EndSafeLanding{})) {
    return;
  }
  jobs_.push_back(std::move(job));
  kick();
}

void BrimwellEngine::kick() {
  if (!running_ || runnerActive_) return;
  runnerActive_ = true;
  // The runner keeps the engine alive while a piece of work is under way.
  asio::co_spawn(
      context_, [self = shared_from_this()]() -> asio::awaitable<void> { co_await self->drain(); },
      [](std::exception_ptr failure) {
        if (failure) std::rethrow_exception(failure);
      });
}

namespace {

CaptureTrigger triggerOf(Phase phase) {
  switch (phase) {
    case Phase::watch:
      return CaptureTrigger::watch;
    case Phase::ready:
      return CaptureTrigger::ready;
    case Phase::brimwell:
      return CaptureTrigger::brimwell;
    case Phase::landing:
      return CaptureTrigger::landing;
  }
  return CaptureTrigger::watch;
}

}  // namespace

asio::awaitable<void> BrimwellEngine::drain() {
  co_await nextTurn(context_);
  while (running_) {
    if (!jobs_.empty()) {
      Job job = std::move(jobs_.front());
      jobs_.pop_front();
      co_await run(std::move(job));
    } else if (pendingCapture_) {
      const CaptureTrigger trigger =
          pendingCapture_->manual ? CaptureTrigger::manual : triggerOf(state_.phase);
      std::optional<CarriedPass> carry = session_ ? session_->carried : std::nullopt;
      co_await captureAndStore(trigger, std::move(carry), jobTimeout, captureTimeoutMessage, false,
                               true);
    } else {
      break;
    }
  }
  runnerActive_ = false;
}

asio::awaitable<void> BrimwellEngine::run(Job job) {
  if (auto* entry = std::get_if<Job::Entry>(&job.work)) {
    co_await runEntry(entry->phase);
  } else if (auto* drill = std::get_if<Job::Drill>(&job.work)) {
    SummaryCompletion continuation = std::move(drill->continuation);
    auto summary = co_await runDrillJob();
    answer(std::move(continuation), std::move(summary));
  } else if (std::holds_alternative<Job::Release>(job.work)) {
    co_await runRelease();
  } else if (std::holds_alternative<Job::EndSafeLanding>(job.work)) {
    co_await runEndSafeLanding();
  } else {
    const BrimwellSettings current = settings();
    co_await runSafeLanding(current);
  }
}

asio::awaitable<void> BrimwellEngine::runEndSafeLanding() {
  if (!heldRecord_ || !heldRecord_->previousHibernateMode) co_return;
  const Status ended = co_await awaitCompletion<Status>(
      gate_, [this](auto done) { collaborators_.helper->endSafeLanding(std::move(done)); });
  // On failure the record stays as it is; the next wake queues the job again.
  if (!ended || !heldRecord_) co_return;
  PowerSaverRecord remaining = *heldRecord_;
  remaining.previousHibernateMode.reset();
  hold(remaining.isEmpty() ? std::nullopt : std::optional(remaining));
}

void BrimwellEngine::updateActivity() {
  if (!running_) return;
  if (entryRunning_) {
    activity_->hold(ActivityLevel::keepAwake);
  } else if (state_.powerSource == PowerSource::battery && state_.phase != Phase::watch) {
    activity_->hold(ActivityLevel::keepRunning);
  } else {
    activity_->hold(ActivityLevel::none);
  }
}

}  // namespace brimwell
