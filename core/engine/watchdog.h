// WatchdogOutcome: how a watched piece of work ended: done in time with its value, timed out, or
// abandoned in favour of more urgent work. The work itself is never cancelled; a late result is
// dropped.
#pragma once

#include <optional>

namespace brimwell {

template <class T>
struct WatchdogOutcome {
  enum class Kind { done, timedOut, abandoned };
  Kind kind;
  std::optional<T> value;  // present exactly when done

  static WatchdogOutcome done(T value) { return {Kind::done, std::move(value)}; }
  static WatchdogOutcome timedOut() { return {Kind::timedOut, std::nullopt}; }
  static WatchdogOutcome abandoned() { return {Kind::abandoned, std::nullopt}; }
};

}  // namespace brimwell
