// BrimwellEngine: the centre of the core library. It takes battery readings, decides on phases,
// runs captures, save passes, power saving and Safe Landing one job at a time, keeps its journal,
// and publishes an EngineState and EngineEvents. Everything it does runs on the io_context it is
// given (the host's main thread): every public operation must be called there, observers are
// called there, and collaborator completions arriving on other threads are moved there first.
// The engine must be owned by a std::shared_ptr; timers hold it weakly.
// Coroutines here pass only named objects to the coroutines they await: g++ 12 mishandles the
// lifetime of temporaries inside co_await expressions.
#pragma once

#include <asio/awaitable.hpp>
#include <asio/io_context.hpp>
#include <asio/thread_pool.hpp>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "brimwell/core/engine/activity.h"
#include "brimwell/core/engine/awaiting.h"
#include "brimwell/core/engine/collaborators.h"
#include "brimwell/core/engine/engine_clock.h"
#include "brimwell/core/engine/engine_state.h"
#include "brimwell/core/engine/watchdog.h"
#include "brimwell/core/helper/helper_controlling.h"
#include "brimwell/core/helper/power_saving.h"
#include "brimwell/core/journal/journal_store.h"
#include "brimwell/core/journal/shutdown_verdict.h"
#include "brimwell/core/power/effective_power_tracker.h"
#include "brimwell/core/power/minutes_to_empty_smoother.h"
#include "brimwell/core/snapshots/snapshot_store.h"
#include "brimwell/core/storage/brimwell_paths.h"
#include "brimwell/core/storage/brimwell_settings.h"

namespace brimwell {

class BrimwellEngine : public std::enable_shared_from_this<BrimwellEngine> {
 public:
  using SummaryCompletion = std::function<void(std::optional<SnapshotSummary>)>;

  // Heartbeat interval in `watch`, and in every other phase.
  static constexpr double heartbeatWhenCalm = 300;
  static constexpr double heartbeatWhenLow = 30;
  // How long a clean-exit mark counts.
  static constexpr double cleanExitGrace = 120;
  // Watchdog of an ordinary capture, a drill capture and a save pass at `brimwell`.
  static constexpr double jobTimeout = 90;
  static constexpr double landingCaptureTimeout = 20;
  static constexpr double landingSavePassTimeout = 45;
  // How long the adapter must stay effective before the engine believes it.
  static constexpr double acHold = 45;
  static constexpr double undoRetryInterval = 300;
  // Time after start or wake before Safe Landing may run, and for the sleep to come.
  static constexpr double safeLandingGrace = 120;
  static constexpr double sleepConfirmTimeout = 15;
  // How long a newly offered snapshot is kept from pruning.
  static constexpr double pendingRestorePin = 604800;

  static constexpr const char* captureTimeoutMessage =
      "Remembering your workspace took longer than 90 seconds, so Brimwell set it aside. An app "
      "may not be answering.";
  static constexpr const char* landingCaptureTimeoutMessage =
      "Remembering your workspace took longer than 20 seconds at the last moment, so Brimwell "
      "moved on to saving.";
  static constexpr const char* savePassTimeoutMessage =
      "Saving took longer than 90 seconds, so Brimwell moved on. An app may not be answering.";
  static constexpr const char* landingSavePassTimeoutMessage =
      "Saving took longer than 45 seconds at the last moment, so Brimwell moved on. An app may "
      "not be answering.";
  static constexpr const char* storeFailurePrefix = "Couldn't save the snapshot: ";
  static constexpr const char* sleepDisabledMessage =
      "Sleep is turned off on this Mac (pmset SleepDisabled), so Safe Landing can't hibernate it.";
  static constexpr const char* sleepNotConfirmedMessage =
      "The Mac didn't go to sleep within 15 seconds, so Brimwell put the hibernate setting back.";
  static constexpr const char* unreadableModeMessage =
      "Brimwell couldn't read the hibernate setting.";
  static constexpr const char* modeNotAcceptedMessage =
      "macOS didn't accept the hibernate setting.";
  static constexpr const char* sleepNotStartedMessage = "macOS didn't start the hibernate.";
  // "This Mac's hibernate mode is 1, which Brimwell leaves alone."
  static std::string unexpectedModeMessage(std::int64_t mode);

  struct Collaborators {
    std::shared_ptr<BatteryMonitoring> battery;
    std::shared_ptr<WorkspaceCapturing> capturer;
    std::shared_ptr<DocumentSaving> saver;
    std::shared_ptr<PowerSaving> powerSaver;
    std::shared_ptr<HelperControlling> helper;
    std::shared_ptr<SystemInfoProviding> systemInfo;
  };

  BrimwellEngine(asio::io_context& context, Collaborators collaborators,
                 std::shared_ptr<SnapshotStore> snapshots, std::shared_ptr<JournalStore> journal,
                 BrimwellPaths paths, std::function<BrimwellSettings()> settings,
                 std::string appVersion, std::shared_ptr<EngineClock> clock,
                 std::shared_ptr<ActivityHolding> activity = nullptr);
  ~BrimwellEngine();
  BrimwellEngine(const BrimwellEngine&) = delete;
  BrimwellEngine& operator=(const BrimwellEngine&) = delete;

  // Observers and the Safe Landing proof hook; settable at any time.
  std::function<void(const EngineState&)> onState;
  std::function<void(const EngineEvent&)> onEvent;
  std::function<std::optional<std::string>()> safeLandingPassedModel;
  // Where snapshot writes and pruning run; by default the engine's own background thread. Tests
  // may run them inline.
  std::function<void(std::function<void()>)> runInBackground;

  // Lifecycle.
  ShutdownVerdict start();
  void stop();
  // Blocks until the snapshot write under way, if any, has finished; no background work runs
  // afterwards, and no collaborator's late answer reaches the io_context any more. For the host,
  // after stop() and before it destroys the context or ends the process: a write still running
  // while the process's statics are torn down, or an answer posted into a destroyed context,
  // would crash it.
  void finishBackgroundWork();
  void markCleanExit(ExitReason reason = ExitReason::quit);
  void systemWillSleep();
  void systemDidWake();
  void settingsDidChange();
  void refreshHelperState() { refreshHelperState(false); }
  void removeHelper(std::function<void(Status)> done);

  // Captures and drills; completions run on the engine's thread.
  void captureNow(SummaryCompletion done);
  void runDrill(SummaryCompletion done);
  void clearDrill();
  void markRestored() { dismissPendingRestore(); }
  void dismissPendingRestore();

  const EngineState& state() const { return state_; }
  const ShutdownVerdict& launchVerdict() const { return launchVerdict_; }
  const std::optional<PendingRestore>& pendingRestore() const { return state_.pendingRestore; }

 private:
  struct Job {
    struct Entry {
      Phase phase;
    };
    struct Drill {
      SummaryCompletion continuation;
    };
    struct Release {};
    struct EndSafeLanding {};
    struct SafeLanding {};
    std::variant<Entry, Drill, Release, EndSafeLanding, SafeLanding> work;
  };

  // The results of the last save pass of a battery session, carried into later snapshots.
  struct CarriedPass {
    std::vector<SaverResult> results;
    std::vector<RescuedDocument> rescued;
    Date at;
  };

  // From the first belief in battery power until the adapter has been held.
  struct BatterySession {
    bool landingDone = false;
    std::optional<CarriedPass> carried;
  };

  struct PendingCapture {
    bool manual = false;
    std::vector<SummaryCompletion> waiters;
  };

  struct Pin {
    std::string id;
    Date until;
  };

  struct CaptureResult {
    std::optional<Snapshot> snapshot;
    bool stored = false;
  };

  // State publishing: one notification per step at most.
  void publish(EngineState next);
  template <class Change>
  void updateState(Change change) {
    EngineState next = state_;
    change(next);
    publish(std::move(next));
  }
  void emit(EngineEvent event);
  // Answers a waiter on a later turn of the loop.
  void answer(SummaryCompletion waiter, std::optional<SnapshotSummary> summary);

  BrimwellSettings settings() const { return settings_(); }
  Thresholds thresholds() const;
  void cancelTimer(std::shared_ptr<Cancellable>& timer);
  std::function<void()> weakly(void (BrimwellEngine::*method)());

  // Lifecycle and job queue.
  void writeJournal();
  void scheduleHeartbeat();
  void refreshHelperState(bool updating);
  void enqueueOnce(Job job);
  void kick();
  asio::awaitable<void> drain();
  asio::awaitable<void> run(Job job);
  asio::awaitable<void> runEndSafeLanding();
  void updateActivity();

  // Battery handling.
  void handle(const BatteryReading& reading);
  void evaluate(bool sourceChanged);
  void entered(Phase phase, const BatteryReading& reading);
  void acHeld();

  // Captures.
  void requestCapture(bool manual, SummaryCompletion waiter);
  void scheduleCapture();
  asio::awaitable<CaptureResult> captureAndStore(CaptureTrigger trigger,
                                                 std::optional<CarriedPass> carry, double timeout,
                                                 const char* timeoutMessage, bool markDrill,
                                                 bool abandonable);
  template <class T>
  asio::awaitable<WatchdogOutcome<T>> withWatchdog(
      double timeout, bool abandonable, std::function<void(std::function<void(T)>)> work);
  asio::awaitable<Expected<void, SnapshotSaveError>> persist(const Snapshot& snapshot,
                                                             std::set<std::string> keeping);
  std::set<std::string> protectedIDs(const std::optional<std::string>& adding) const;

  // Save passes and entry work.
  asio::awaitable<void> runEntry(Phase phase);
  asio::awaitable<std::optional<SavePassOutput>> runSavePass(const BrimwellSettings& settings,
                                                             double timeout,
                                                             const char* timeoutMessage);
  static std::vector<RescuedDocument> merged(const std::vector<RescuedDocument>& a,
                                             const std::vector<RescuedDocument>& b);

  // Power saving.
  void hold(std::optional<PowerSaverRecord> record);
  asio::awaitable<void> applyPowerSaving(const BrimwellSettings& settings);
  asio::awaitable<void> runRelease();

  // Safe Landing.
  void trySafeLanding();
  void disarmSafeLanding();
  bool safeLandingStillWanted() const;
  asio::awaitable<void> runSafeLanding(const BrimwellSettings& settings);
  void sleepNeverCame();

  // Drill, pins and pending restore.
  asio::awaitable<std::optional<SnapshotSummary>> runDrillJob();
  void setUpPendingRestore(const std::optional<Journal>& previous);
  std::optional<SnapshotSummary> summary(const std::string& id);

  asio::io_context& context_;
  // Collaborators' completions come in through it; closed once the context stops being served.
  std::shared_ptr<CompletionGate> gate_ = std::make_shared<CompletionGate>(context_);
  Collaborators collaborators_;
  std::shared_ptr<SnapshotStore> snapshots_;
  std::shared_ptr<JournalStore> journal_;
  BrimwellPaths paths_;
  std::function<BrimwellSettings()> settings_;
  std::string appVersion_;
  std::shared_ptr<EngineClock> clock_;
  std::shared_ptr<ActivityHolding> activity_;
  asio::thread_pool background_{1};  // snapshot writes and pruning

  EngineState state_;

  // Lifecycle.
  bool running_ = false;
  std::string bootSession_;
  ShutdownVerdict launchVerdict_;
  std::optional<std::string> latestSnapshotID_;
  std::optional<Date> cleanExitAt_;
  std::optional<ExitReason> exitReason_;
  std::shared_ptr<Cancellable> heartbeatTimer_;
  std::deque<Job> jobs_;
  bool runnerActive_ = false;
  Date awakeSince_;

  // Battery handling.
  EffectivePowerTracker tracker_;
  MinutesToEmptySmoother smoother_;
  int minutesStreak_ = 0;
  std::optional<BatteryReading> policyReading_;
  std::shared_ptr<Cancellable> acHoldTimer_;
  std::optional<BatterySession> session_;

  // Captures.
  std::optional<PendingCapture> pendingCapture_;
  std::shared_ptr<Cancellable> captureTimer_;
  int workDepth_ = 0;
  std::function<void()> abandonLightCapture_;

  // Entry work and power saving.
  bool entryRunning_ = false;
  std::optional<PowerSaverRecord> heldRecord_;
  std::shared_ptr<Cancellable> undoRetry_;

  // Safe Landing.
  bool safeLandingArmed_ = false;
  std::shared_ptr<Cancellable> graceTimer_;
  std::shared_ptr<Cancellable> sleepCheck_;

  // Drill and pins.
  bool drillPending_ = false;
  std::optional<std::string> drillSnapshotID_;
  std::optional<Pin> pin_;
};

}  // namespace brimwell
