// What the engine published, as timeline fields: an event with the engine's names for it and its
// fields, and the changes between two states worth telling (phase, power source, newest snapshot,
// save pass, power-saver record, restore offer). Pure functions over values; any thread.
#pragma once

#include <optional>
#include <vector>

#include "brimwell/core/engine/engine_state.h"
#include "brimwell/core/storage/json_coding.h"

namespace brimwell::simulation {

// {"event":"enteredPhase","phase":"ready","percent":20}, {"event":"captureFailed","message":..}.
Json eventFields(const EngineEvent& event);

// The changes from `before` (nothing: the first state seen) to `next`, in a fixed order.
std::vector<Json> stateChanges(const std::optional<EngineState>& before, const EngineState& next);

}  // namespace brimwell::simulation
