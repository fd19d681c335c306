// Drills, pins and the pending restore: a drill runs the low-battery work on request and marks its
// snapshot; at start the launch verdict, or an offer the previous run left unanswered, becomes
// the pending restore, and a pin keeps the offered snapshot from pruning for seven days.
#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/snapshots/snapshot_id.h"

namespace brimwell {

void BrimwellEngine::runDrill(SummaryCompletion done) {
  if (!running_) return answer(std::move(done), std::nullopt);
  // Always appended, never merged: two calls make two drills.
  jobs_.push_back({Job::Drill{std::move(done)}});
  kick();
}

asio::awaitable<std::optional<SnapshotSummary>> BrimwellEngine::runDrillJob() {
  const BrimwellSettings settings = this->settings();
  const auto pass = co_await runSavePass(settings, jobTimeout, savePassTimeoutMessage);
  // The drill's own pass, not merged with the battery session's.
  std::optional<CarriedPass> carry;
  if (pass) {
    carry = CarriedPass{pass->results, pass->rescued, state_.lastSavePass.value_or(clock_->now())};
  }
  const auto taken = co_await captureAndStore(CaptureTrigger::drill, std::move(carry), jobTimeout,
                                              captureTimeoutMessage, true, false);
  if (!taken.snapshot) co_return std::nullopt;
  const SnapshotSummary summary(*taken.snapshot);
  emit(engine_event::SavePassFinished{pass ? pass->results : std::vector<SaverResult>{}, summary});
  co_return taken.stored ? std::optional(summary) : std::nullopt;
}

void BrimwellEngine::clearDrill() {
  drillPending_ = false;
  drillSnapshotID_.reset();
  if (state_.pendingRestore && state_.pendingRestore->verdict.as<ShutdownVerdict::Drill>()) {
    updateState([](EngineState& s) { s.pendingRestore.reset(); });
  }
  writeJournal();
}

void BrimwellEngine::dismissPendingRestore() {
  if (!state_.pendingRestore) return;
  // The pin stays: the snapshot is kept until it runs out.
  updateState([](EngineState& s) { s.pendingRestore.reset(); });
  writeJournal();
}

void BrimwellEngine::setUpPendingRestore(const std::optional<Journal>& previous) {
  const Date now = clock_->now();
  if (const auto id = launchVerdict_.snapshotID()) {
    if (auto offered = summary(*id)) {
      updateState([&](EngineState& s) {
        s.pendingRestore = PendingRestore{launchVerdict_, *offered};
      });
      pin_ = Pin{*id, addSeconds(now, pendingRestorePin)};
      return;
    }
  }
  if (!previous) return;
  // An offer the previous run left unanswered is offered again, unchanged, without a new pin.
  if (const auto recorded = previous->pendingRestoreVerdict()) {
    if (auto offered = summary(*recorded->snapshotID())) {
      updateState([&](EngineState& s) { s.pendingRestore = PendingRestore{*recorded, *offered}; });
    }
  }
  if (previous->pinnedSnapshotID && previous->pinnedUntil && *previous->pinnedUntil > now &&
      snapshots_->contains(*previous->pinnedSnapshotID)) {
    pin_ = Pin{*previous->pinnedSnapshotID, *previous->pinnedUntil};
  }
}

std::optional<SnapshotSummary> BrimwellEngine::summary(const std::string& id) {
  if (!SnapshotID::isValid(id) || !snapshots_->contains(id)) return std::nullopt;
  const auto snapshot = snapshots_->load(id);
  if (!snapshot) return std::nullopt;
  return SnapshotSummary(*snapshot);
}

}  // namespace brimwell
