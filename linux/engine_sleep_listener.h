// The engine's part in sleep, wake and shutdown: before a sleep it is told and takes a snapshot
// (trigger `manual`), after a wake it is told, and a coming power-off marks a clean exit. Engine
// thread only; holds the engine weakly.
#pragma once

#include <memory>

#include "brimwell/core/engine/brimwell_engine.h"
#include "linux/logind_sleep_watch.h"

namespace brimwell {

SleepListener engineSleepListener(std::weak_ptr<BrimwellEngine> engine);

}  // namespace brimwell
