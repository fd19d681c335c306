// ClipboardSource: the clipboard's contents for a snapshot. The X11 one reads the CLIPBOARD
// selection from its owner; tests give fixed records or failures.
#pragma once

#include "brimwell/core/base/error.h"
#include "brimwell/core/snapshots/clipboard_record.h"

namespace brimwell {

class ClipboardSource {
 public:
  virtual ~ClipboardSource() = default;
  // The clipboard as one item (an empty record when nothing owns it), or the sentence saying why
  // it couldn't be read.
  virtual Result<ClipboardRecord> clipboard() = 0;
};

}  // namespace brimwell
