// PowerSaving: the application's power-saving measures (Low Power Mode, display dimming), as
// asynchronous calls whose completion runs exactly once, from any thread. The hibernate mode is
// never this collaborator's: it stays in the record until the daemon has ended Safe Landing.
#pragma once

#include <functional>

#include "brimwell/core/helper/power_saver_record.h"
#include "brimwell/core/storage/brimwell_settings.h"

namespace brimwell {

class PowerSaving {
 public:
  virtual ~PowerSaving() = default;

  // Applies what the settings ask for and reports what it changed.
  virtual void apply(const BrimwellSettings& settings,
                     std::function<void(PowerSaverRecord)> done) = 0;
  // Puts back everything the record lists.
  virtual void restore(const PowerSaverRecord& record, std::function<void()> done) = 0;
  // Puts back what the record lists and reports what remains to be undone. By default: restore,
  // then everything but the hibernate mode counts as undone.
  virtual void undo(const PowerSaverRecord& record, std::function<void(PowerSaverRecord)> done);
};

}  // namespace brimwell
