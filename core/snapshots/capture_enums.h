// The plain enumerations of a snapshot: why a capture ran, whether a part of the workspace could
// be read, and what an application's save attempt achieved. Raw values are the case names.
#pragma once

#include <array>
#include <string_view>

#include "brimwell/core/base/enum_text.h"

namespace brimwell {

enum class CaptureTrigger { watch, ready, brimwell, landing, drill, manual };
enum class CaptureStatus { ok, needsPermission, notRunning, unsupported, failed };
enum class SaverOutcome {
  saved,
  nothingToSave,
  savesItself,
  notSupported,
  needsPermission,
  failed,
  pressedCommandS
};

template <>
struct EnumNames<CaptureTrigger> {
  static constexpr std::array<std::string_view, 6> names = {"watch",   "ready", "brimwell",
                                                            "landing", "drill", "manual"};
};

template <>
struct EnumNames<CaptureStatus> {
  static constexpr std::array<std::string_view, 5> names = {"ok", "needsPermission", "notRunning",
                                                            "unsupported", "failed"};
};

template <>
struct EnumNames<SaverOutcome> {
  static constexpr std::array<std::string_view, 7> names = {
      "saved",           "nothingToSave", "savesItself",    "notSupported",
      "needsPermission", "failed",        "pressedCommandS"};
};

}  // namespace brimwell
