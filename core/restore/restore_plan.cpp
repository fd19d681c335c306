#include "brimwell/core/restore/restore_plan.h"

namespace brimwell {

Json JsonCoding<RestorePlan>::write(const RestorePlan& value) {
  return JsonObjectWriter()
      .put("snapshotID", value.snapshotID)
      .put("steps", value.steps)
      .put("clipboardChangeCount", value.clipboardChangeCount)
      .take();
}

}  // namespace brimwell
