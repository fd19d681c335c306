// What Brimwell tells the user through the desktop's notifications: the texts for the engine's
// events and its restore offer (pure functions), and EngineNotices, which shows them and hands
// the user's answer to the offer back to the engine. EngineNotices: engine thread only; it holds
// the engine weakly.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "brimwell/core/engine/brimwell_engine.h"
#include "brimwell/core/journal/pending_restore.h"
#include "linux/desktop_notifier.h"

namespace brimwell {

// The notice for `event`, or nothing for the events the user isn't told of (entering `watch` or
// `ready`, a finished save pass, plugging and unplugging).
std::optional<Notice> noticeFor(const EngineEvent& event);
// The offer to restore `offer`'s workspace, with the actions "restore" and "dismiss".
Notice restoreOffer(const PendingRestore& offer);
// What to do by hand when Brimwell can't restore by itself: run `planCommand`.
Notice restoreByHand(const std::string& planCommand);

class EngineNotices {
 public:
  // `planCommand` makes the command that shows the restore plan of a snapshot identifier.
  // `restore`, when given, carries out the restore of an accepted offer.
  EngineNotices(std::shared_ptr<DesktopNotifier> notifier, std::weak_ptr<BrimwellEngine> engine,
                std::function<std::string(const std::string& id)> planCommand,
                std::function<void(const PendingRestore&)> restore = {})
      : notifier_(std::move(notifier)),
        engine_(std::move(engine)),
        planCommand_(std::move(planCommand)),
        restore_(std::move(restore)) {}

  void tell(const EngineEvent& event);
  // Offers the engine's pending restore, if it has one. "Restore" restores it (or, without a way
  // to restore, says how) and marks it restored; "Not now" dismisses it.
  void offerPendingRestore();

 private:
  std::shared_ptr<DesktopNotifier> notifier_;
  std::weak_ptr<BrimwellEngine> engine_;
  std::function<std::string(const std::string&)> planCommand_;
  std::function<void(const PendingRestore&)> restore_;
};

}  // namespace brimwell
