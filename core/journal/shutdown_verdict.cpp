#include "brimwell/core/journal/shutdown_verdict.h"

namespace brimwell {

std::optional<ShutdownVerdict> ShutdownVerdict::make(PendingRestoreKind kind,
                                                     std::optional<Date> at,
                                                     std::string snapshotID) {
  switch (kind) {
    case PendingRestoreKind::ranOutOfBattery:
      if (!at) return std::nullopt;
      return ranOutOfBattery(*at, std::move(snapshotID));
    case PendingRestoreKind::unexpectedShutdown:
      if (!at) return std::nullopt;
      return unexpectedShutdown(*at, std::move(snapshotID));
    case PendingRestoreKind::drill:
      return drill(std::move(snapshotID));
  }
  return std::nullopt;
}

std::optional<PendingRestoreKind> ShutdownVerdict::kind() const {
  if (as<RanOutOfBattery>()) return PendingRestoreKind::ranOutOfBattery;
  if (as<UnexpectedShutdown>()) return PendingRestoreKind::unexpectedShutdown;
  if (as<Drill>()) return PendingRestoreKind::drill;
  return std::nullopt;
}

std::optional<Date> ShutdownVerdict::date() const {
  if (auto v = as<RanOutOfBattery>()) return v->at;
  if (auto v = as<UnexpectedShutdown>()) return v->at;
  return std::nullopt;
}

std::optional<std::string> ShutdownVerdict::snapshotID() const {
  if (auto v = as<RanOutOfBattery>()) return v->snapshotID;
  if (auto v = as<UnexpectedShutdown>()) return v->snapshotID;
  if (auto v = as<Drill>()) return v->snapshotID;
  return std::nullopt;
}

}  // namespace brimwell
