// Entry work and save passes: at `brimwell` and `landing` the engine has the applications save
// their documents, carries the results into every later snapshot of the battery session, turns on
// power saving and takes a snapshot; at `landing` it starts with a quick snapshot and ends by
// arming Safe Landing.
#include <unordered_set>

#include "brimwell/core/engine/awaiting.h"
#include "brimwell/core/engine/brimwell_engine.h"

namespace brimwell {

std::vector<RescuedDocument> BrimwellEngine::merged(const std::vector<RescuedDocument>& a,
                                                    const std::vector<RescuedDocument>& b) {
  std::vector<RescuedDocument> result = a;
  std::unordered_set<std::string> paths;
  for (const auto& document : a) paths.insert(document.path);
  for (const auto& document : b) {
    if (!paths.contains(document.path)) result.push_back(document);
  }
  return result;
}

asio::awaitable<void> BrimwellEngine::runEntry(Phase phase) {
  // Plugged in, or charged back up, while the job waited: nothing to do.
  if (state_.powerSource != PowerSource::battery || state_.phase < phase) co_return;
  // A real low-battery entry ends any drill.
  drillPending_ = false;
  drillSnapshotID_.reset();
  entryRunning_ = true;
  updateActivity();
  const BrimwellSettings settings = this->settings();
  const bool landing = phase == Phase::landing;
  std::optional<CarriedPass> carry = session_ ? session_->carried : std::nullopt;

  std::optional<SavePassOutput> pass;
  if (landing) {
    co_await captureAndStore(CaptureTrigger::landing, std::move(carry), landingCaptureTimeout,
                             landingCaptureTimeoutMessage, false, false);
    pass = co_await runSavePass(settings, landingSavePassTimeout, landingSavePassTimeoutMessage);
  } else {
    pass = co_await runSavePass(settings, jobTimeout, savePassTimeoutMessage);
  }

  if (pass && session_) {
    const std::vector<RescuedDocument> before =
        session_->carried ? session_->carried->rescued : std::vector<RescuedDocument>{};
    session_->carried = CarriedPass{pass->results, merged(before, pass->rescued),
                                    state_.lastSavePass.value_or(clock_->now())};
  }

  // Power saving is applied once per discharge, by the first entry that finds it not applied.
  const bool applied = heldRecord_ && (heldRecord_->turnedOnLowPowerMode || heldRecord_->dimmedTo);
  if (!applied && state_.powerSource == PowerSource::battery &&
      (state_.phase == Phase::brimwell || state_.phase == Phase::landing)) {
    co_await applyPowerSaving(settings);
  }

  carry = session_ ? session_->carried : std::nullopt;  // now with this pass
  const CaptureTrigger trigger = landing ? CaptureTrigger::landing : CaptureTrigger::brimwell;
  const double timeout = landing ? landingCaptureTimeout : jobTimeout;
  const char* message = landing ? landingCaptureTimeoutMessage : captureTimeoutMessage;
  const auto taken =
      co_await captureAndStore(trigger, std::move(carry), timeout, message, false, false);
  if (taken.snapshot) {
    emit(engine_event::SavePassFinished{pass ? pass->results : std::vector<SaverResult>{},
                                        SnapshotSummary(*taken.snapshot)});
  }

  if (landing && state_.powerSource == PowerSource::battery) {
    safeLandingArmed_ = true;
    trySafeLanding();
  }
  entryRunning_ = false;
  updateActivity();
}

asio::awaitable<std::optional<SavePassOutput>> BrimwellEngine::runSavePass(
    const BrimwellSettings& settings, double timeout, const char* timeoutMessage) {
  ++workDepth_;
  updateState([](EngineState& s) { s.isWorking = true; });
  const auto folder = paths_.rescueFolder(clock_->now(), TimeZone::current());

  std::function<void(std::function<void(SavePassOutput)>)> save = [&](auto done) {
    collaborators_.saver->saveDocuments(folder, settings.commandSBundleIDs,
                                        settings.excludedBundleIDs, std::move(done));
  };
  const auto outcome = co_await withWatchdog<SavePassOutput>(timeout, false, std::move(save));

  std::optional<SavePassOutput> result;
  if (outcome.kind == WatchdogOutcome<SavePassOutput>::Kind::done) {
    const Date now = clock_->now();
    updateState([&](EngineState& s) {
      s.lastSavePass = now;
      s.lastSaveResults = outcome.value->results;
    });
    result = std::move(*outcome.value);
  } else {
    emit(engine_event::CaptureFailed{timeoutMessage});
    updateState([](EngineState& s) { s.lastSaveResults.clear(); });
  }

  --workDepth_;
  updateState([&](EngineState& s) { s.isWorking = workDepth_ > 0; });
  co_return result;
}

}  // namespace brimwell
