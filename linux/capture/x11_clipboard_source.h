// The X11 CLIPBOARD selection as one clipboard item: every data target its owner offers, keyed by
// the target's name, each fetched whole (incrementally for large ones) while the total stays
// under the ceiling. Every wait for the owner is bounded by the time given for the whole read, so
// an owner that never answers costs that time and no more.
#pragma once

#include <cstdint>
#include <string>

#include "brimwell/core/snapshots/clipboard_record.h"
#include "linux/capture/clipboard_source.h"

namespace brimwell {

class X11ClipboardSource final : public ClipboardSource {
 public:
  // `display` empty: $DISPLAY.
  explicit X11ClipboardSource(std::string display = {}, double timeout = 2,
                              std::int64_t ceiling = ClipboardRecord::maxBytes)
      : display_(std::move(display)), timeout_(timeout), ceiling_(ceiling) {}
  Result<ClipboardRecord> clipboard() override;

 private:
  std::string display_;
  double timeout_;
  std::int64_t ceiling_;
};

}  // namespace brimwell
