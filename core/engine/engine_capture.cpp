// Captures: requests coalesce into one pending capture that the job runner serves when no job is
// queued; each capture runs under a watchdog counting awake time, is completed with the carried
// save pass, stored on a background thread, pruned, and answered to every waiter.
#include <asio/post.hpp>

#include "brimwell/core/engine/awaiting.h"
#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {

void BrimwellEngine::captureNow(SummaryCompletion done) {
  if (!running_) return answer(std::move(done), std::nullopt);
  requestCapture(true, std::move(done));
}

void BrimwellEngine::requestCapture(bool manual, SummaryCompletion waiter) {
  if (!running_) return answer(std::move(waiter), std::nullopt);
  if (!pendingCapture_) pendingCapture_ = PendingCapture{};
  pendingCapture_->manual = pendingCapture_->manual || manual;
  if (waiter) pendingCapture_->waiters.push_back(std::move(waiter));
  kick();
}

void BrimwellEngine::scheduleCapture() {
  cancelTimer(captureTimer_);
  if (!running_) return;
  const BrimwellSettings settings = this->settings();
  // On the adapter or with plenty of charge, periodic captures only protect against crashes.
  if (state_.phase == Phase::watch && !settings.protectAgainstCrashes) return;
  captureTimer_ =
      clock_->schedule(settings.cadence.interval(state_.phase), [weak = weak_from_this()] {
        if (auto self = weak.lock()) self->requestCapture(false, nullptr);
      });
}

template <class T>
asio::awaitable<WatchdogOutcome<T>> BrimwellEngine::withWatchdog(
    double timeout, bool abandonable, std::function<void(std::function<void(T)>)> work) {
  using Outcome = WatchdogOutcome<T>;
  auto once = std::make_shared<ResumeOnce<Outcome>>();
  std::shared_ptr<Cancellable> timer;
  Outcome outcome =
      co_await awaitCompletion<Outcome>(gate_, [&](std::function<void(Outcome)> resume) {
        once->set(std::move(resume));
        timer = clock_->scheduleAwake(timeout, [once] { once->resume(Outcome::timedOut()); });
        if (abandonable) abandonLightCapture_ = [once] { once->resume(Outcome::abandoned()); };
        // The work is never cancelled: whatever it answers after the watchdog fired is dropped.
        work([once](T value) { once->resume(Outcome::done(std::move(value))); });
      });
  if (timer) timer->cancel();
  if (abandonable) abandonLightCapture_ = nullptr;
  co_return outcome;
}

template asio::awaitable<WatchdogOutcome<Snapshot>> BrimwellEngine::withWatchdog<Snapshot>(
    double, bool, std::function<void(std::function<void(Snapshot)>)>);
template asio::awaitable<WatchdogOutcome<SavePassOutput>> BrimwellEngine::withWatchdog<
    SavePassOutput>(double, bool, std::function<void(std::function<void(SavePassOutput)>)>);

namespace {

// A date brought to the precision of its stored text, as a reader of the file will see it.
Date storedPrecision(Date date) {
  return BrimwellJSON::parse(BrimwellJSON::format(date)).value_or(date);
}

}  // namespace

asio::awaitable<BrimwellEngine::CaptureResult> BrimwellEngine::captureAndStore(
    CaptureTrigger trigger, std::optional<CarriedPass> carry, double timeout,
    const char* timeoutMessage, bool markDrill, bool abandonable) {
  ++workDepth_;
  updateState([](EngineState& s) { s.isWorking = true; });
  PendingCapture taken = pendingCapture_.value_or(PendingCapture{});
  pendingCapture_.reset();

  const BrimwellSettings settings = this->settings();
  std::function<void(std::function<void(Snapshot)>)> capture = [&](auto done) {
    collaborators_.capturer->capture(trigger, state_.battery, settings.excludedBundleIDs,
                                     settings.captureClipboard, std::move(done));
  };
  const auto outcome = co_await withWatchdog<Snapshot>(timeout, abandonable, std::move(capture));

  CaptureResult result;
  switch (outcome.kind) {
    case WatchdogOutcome<Snapshot>::Kind::timedOut:
      emit(engine_event::CaptureFailed{timeoutMessage});
      writeJournal();
      scheduleCapture();
      for (auto& waiter : taken.waiters) answer(std::move(waiter), std::nullopt);
      break;

    case WatchdogOutcome<Snapshot>::Kind::abandoned:
      // The request goes back in line for the next capture, its waiters first.
      if (!taken.waiters.empty() || taken.manual) {
        PendingCapture& pending =
            pendingCapture_ ? *pendingCapture_ : pendingCapture_.emplace(PendingCapture{});
        pending.manual = pending.manual || taken.manual;
        pending.waiters.insert(pending.waiters.begin(),
                               std::make_move_iterator(taken.waiters.begin()),
                               std::make_move_iterator(taken.waiters.end()));
      }
      break;

    case WatchdogOutcome<Snapshot>::Kind::done: {
      Snapshot snapshot = std::move(*outcome.value);
      if (carry) {
        snapshot.rescued = merged(snapshot.rescued, carry->rescued);
        snapshot.savers = carry->results;
        snapshot.savePassAt = carry->at;
      }
      if (!SnapshotID::isValid(snapshot.id))
        snapshot.id = SnapshotID::make(snapshot.meta.createdAt);
      snapshot.meta.createdAt = storedPrecision(snapshot.meta.createdAt);
      if (snapshot.savePassAt) snapshot.savePassAt = storedPrecision(*snapshot.savePassAt);

      std::set<std::string> keeping =
          protectedIDs(markDrill ? std::optional(snapshot.id) : std::nullopt);
      const auto stored = co_await persist(snapshot, std::move(keeping));
      const SnapshotSummary summary(snapshot);
      if (stored) {
        latestSnapshotID_ = snapshot.id;
        updateState([&](EngineState& s) { s.latest = summary; });
        if (markDrill) {
          drillPending_ = true;
          drillSnapshotID_ = snapshot.id;
        }
      } else {
        emit(engine_event::CaptureFailed{storeFailurePrefix + stored.error().message()});
      }
      writeJournal();
      scheduleCapture();
      for (auto& waiter : taken.waiters) {
        answer(std::move(waiter), stored ? std::optional(summary) : std::nullopt);
      }
      result = {std::move(snapshot), stored.has_value()};
      break;
    }
  }

  --workDepth_;
  updateState([&](EngineState& s) { s.isWorking = workDepth_ > 0; });
  co_return result;
}

asio::awaitable<Expected<void, SnapshotSaveError>> BrimwellEngine::persist(
    const Snapshot& snapshot, std::set<std::string> keeping) {
  const Date now = clock_->now();
  co_return co_await awaitCompletion<Expected<void, SnapshotSaveError>>(
      gate_, [&](std::function<void(Expected<void, SnapshotSaveError>)> done) {
        runInBackground([store = snapshots_, snapshot, keeping = std::move(keeping), now,
                         done = std::move(done)] {
          auto saved = store->save(snapshot);
          if (saved) (void)store->prune(now, keeping);
          done(std::move(saved));
        });
      });
}

std::set<std::string> BrimwellEngine::protectedIDs(const std::optional<std::string>& adding) const {
  std::set<std::string> ids;
  if (drillSnapshotID_) ids.insert(*drillSnapshotID_);
  if (state_.pendingRestore) ids.insert(state_.pendingRestore->snapshot.id);
  if (adding) ids.insert(*adding);
  if (pin_ && pin_->until > clock_->now()) ids.insert(pin_->id);
  return ids;
}

}  // namespace brimwell
