#include "brimwell/core/helper/power_saving.h"

namespace brimwell {

void PowerSaving::undo(const PowerSaverRecord& record, std::function<void(PowerSaverRecord)> done) {
  restore(record, [hibernateMode = record.previousHibernateMode, done = std::move(done)] {
    done(PowerSaverRecord{.previousHibernateMode = hibernateMode});
  });
}

}  // namespace brimwell
