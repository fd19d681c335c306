#include "linux/engine_notices.h"

namespace brimwell {
namespace {

std::string counted(int count, const std::string& one, const std::string& many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

std::string howItEnded(const ShutdownVerdict& verdict) {
  switch (verdict.kind().value_or(PendingRestoreKind::drill)) {
    case PendingRestoreKind::ranOutOfBattery:
      return "The battery ran out last time.";
    case PendingRestoreKind::unexpectedShutdown:
      return "The machine went down unexpectedly last time.";
    case PendingRestoreKind::drill:
      break;
  }
  return "A drill was under way last time.";
}

}  // namespace

std::optional<Notice> noticeFor(const EngineEvent& event) {
  if (const auto* entered = std::get_if<engine_event::EnteredPhase>(&event)) {
    const std::string level =
        "The battery is at " + std::to_string(entered->reading.percent) + "%.";
    if (entered->phase == Phase::brimwell) {
      return Notice{"Battery low",
                    level + " Brimwell is saving your documents and turning on power saving."};
    }
    if (entered->phase == Phase::landing) {
      return Notice{"Battery nearly empty",
                    level + " Brimwell is getting your work ready for Safe Landing."};
    }
    return std::nullopt;
  }
  if (const auto* failed = std::get_if<engine_event::CaptureFailed>(&event)) {
    return Notice{"Brimwell couldn't finish", failed->message};
  }
  if (const auto* failed = std::get_if<engine_event::SafeLandingFailed>(&event)) {
    return Notice{"Safe Landing didn't happen", failed->message};
  }
  if (std::holds_alternative<engine_event::SafeLandingStarting>(event)) {
    return Notice{"Safe Landing",
                  "Brimwell is putting the machine into hibernation to keep your work safe."};
  }
  return std::nullopt;
}

Notice restoreOffer(const PendingRestore& offer) {
  const auto& snapshot = offer.snapshot;
  return Notice{"Restore your workspace?",
                howItEnded(offer.verdict) +
                    " Brimwell can bring back the workspace it remembered (" +
                    counted(snapshot.appCount, "app", "apps") + ", " +
                    counted(snapshot.tabCount, "tab", "tabs") + ").",
                {{"restore", "Restore"}, {"dismiss", "Not now"}}};
}

Notice restoreByHand(const std::string& planCommand) {
  return Notice{"Restore your workspace",
                "Brimwell can't restore it by itself yet. To see the steps, run: " + planCommand};
}

void EngineNotices::tell(const EngineEvent& event) {
  if (auto notice = noticeFor(event)) notifier_->notify(*notice);
}

void EngineNotices::offerPendingRestore() {
  const auto engine = engine_.lock();
  if (!engine || !engine->pendingRestore()) return;
  const PendingRestore offer = *engine->pendingRestore();
  // The answer may come after this object has gone: it carries what it needs.
  notifier_->notify(restoreOffer(offer),
                    [notifier = std::weak_ptr(notifier_), weakEngine = engine_, plan = planCommand_,
                     restore = restore_, offer](const std::string& key) {
                      const auto engine = weakEngine.lock();
                      if (!engine) return;
                      if (key == "restore") {
                        if (restore) {
                          restore(offer);
                        } else if (const auto shown = notifier.lock()) {
                          shown->notify(restoreByHand(plan(offer.snapshot.id)));
                        }
                        engine->markRestored();
                      } else if (key == "dismiss") {
                        engine->dismissPendingRestore();
                      }
                    });
}

}  // namespace brimwell
