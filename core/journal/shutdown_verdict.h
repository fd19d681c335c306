// ShutdownVerdict: how the previous session ended, and so what to offer for restore:
// ranOutOfBattery or unexpectedShutdown (with the last heartbeat and a snapshot), drill (with its
// snapshot) or none. PendingRestoreKind names the first three in the journal. Plain values.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "brimwell/core/base/date.h"
#include "brimwell/core/base/enum_text.h"

namespace brimwell {

enum class PendingRestoreKind { ranOutOfBattery, unexpectedShutdown, drill };

template <>
struct EnumNames<PendingRestoreKind> {
  static constexpr std::array<std::string_view, 3> names{"ranOutOfBattery", "unexpectedShutdown",
                                                         "drill"};
};

class ShutdownVerdict {
 public:
  struct RanOutOfBattery {
    Date at;
    std::string snapshotID;
    friend bool operator==(const RanOutOfBattery&, const RanOutOfBattery&) = default;
  };
  struct UnexpectedShutdown {
    Date at;
    std::string snapshotID;
    friend bool operator==(const UnexpectedShutdown&, const UnexpectedShutdown&) = default;
  };
  struct Drill {
    std::string snapshotID;
    friend bool operator==(const Drill&, const Drill&) = default;
  };
  struct None {
    friend bool operator==(const None&, const None&) = default;
  };
  using Case = std::variant<None, RanOutOfBattery, UnexpectedShutdown, Drill>;

  ShutdownVerdict() = default;  // none
  ShutdownVerdict(Case value) : value_(std::move(value)) {}

  static ShutdownVerdict ranOutOfBattery(Date at, std::string snapshotID) {
    return Case(RanOutOfBattery{at, std::move(snapshotID)});
  }
  static ShutdownVerdict unexpectedShutdown(Date at, std::string snapshotID) {
    return Case(UnexpectedShutdown{at, std::move(snapshotID)});
  }
  static ShutdownVerdict drill(std::string snapshotID) {
    return Case(Drill{std::move(snapshotID)});
  }
  static ShutdownVerdict none() { return {}; }

  // The verdict a journal's kind, date and snapshot describe; the two shutdown kinds need a date,
  // a drill ignores it.
  static std::optional<ShutdownVerdict> make(PendingRestoreKind kind, std::optional<Date> at,
                                             std::string snapshotID);

  const Case& value() const { return value_; }
  template <class T>
  const T* as() const {
    return std::get_if<T>(&value_);
  }
  bool isNone() const { return as<None>() != nullptr; }

  // Absent for none.
  std::optional<PendingRestoreKind> kind() const;
  // The heartbeat of the two shutdown verdicts; absent for drill and none.
  std::optional<Date> date() const;
  // The offered snapshot; absent for none.
  std::optional<std::string> snapshotID() const;

  friend bool operator==(const ShutdownVerdict&, const ShutdownVerdict&) = default;

 private:
  Case value_;
};

}  // namespace brimwell
