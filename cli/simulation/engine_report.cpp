#include "cli/simulation/engine_report.h"

namespace brimwell::simulation {

Json eventFields(const EngineEvent& event) {
  using namespace engine_event;
  if (auto e = std::get_if<EnteredPhase>(&event)) {
    return {{"event", "enteredPhase"},
            {"phase", std::string(toString(e->phase))},
            {"percent", e->reading.percent}};
  }
  if (auto e = std::get_if<SavePassFinished>(&event)) {
    return {{"event", "savePassFinished"},
            {"results", e->results.size()},
            {"snapshot", e->snapshot.id},
            {"trigger", std::string(toString(e->snapshot.trigger))}};
  }
  if (auto e = std::get_if<PluggedIn>(&event)) {
    return {{"event", "pluggedIn"}, {"percent", e->reading.percent}};
  }
  if (auto e = std::get_if<Unplugged>(&event)) {
    return {{"event", "unplugged"}, {"percent", e->reading.percent}};
  }
  if (auto e = std::get_if<CaptureFailed>(&event)) {
    return {{"event", "captureFailed"}, {"message", e->message}};
  }
  if (auto e = std::get_if<SafeLandingFailed>(&event)) {
    return {{"event", "safeLandingFailed"}, {"message", e->message}};
  }
  return {{"event", "safeLandingStarting"}};
}

std::vector<Json> stateChanges(const std::optional<EngineState>& seen, const EngineState& next) {
  std::vector<Json> changes;
  const bool first = !seen;
  const EngineState before = seen.value_or(EngineState{});
  if (first || next.phase != before.phase) {
    Json fields = {{"phase", std::string(toString(next.phase))}};
    if (next.battery) fields["percent"] = next.battery->percent;
    changes.push_back(std::move(fields));
  }
  if (next.powerSource && next.powerSource != before.powerSource) {
    changes.push_back({{"powerSource", std::string(toString(*next.powerSource))}});
  }
  if (next.latest && (!before.latest || before.latest->id != next.latest->id)) {
    changes.push_back(
        {{"snapshot", next.latest->id}, {"trigger", std::string(toString(next.latest->trigger))}});
  }
  if (next.lastSavePass && next.lastSavePass != before.lastSavePass) {
    int saved = 0, rescued = 0;
    for (const auto& result : next.lastSaveResults) {
      saved += result.saved;
      rescued += result.rescued;
    }
    changes.push_back(
        {{"savePass", next.lastSaveResults.size()}, {"saved", saved}, {"rescued", rescued}});
  }
  if (next.powerSaver != before.powerSaver) {
    changes.push_back({{"powerSaver", toJson(next.powerSaver)}});
  }
  if (next.pendingRestore != before.pendingRestore) {
    if (next.pendingRestore) {
      const auto kind = next.pendingRestore->verdict.kind();
      changes.push_back(
          {{"pendingRestore", kind ? Json(std::string(toString(*kind))) : Json(nullptr)},
           {"snapshot", next.pendingRestore->snapshot.id}});
    } else if (!first) {
      changes.push_back({{"pendingRestore", nullptr}});
    }
  }
  return changes;
}

}  // namespace brimwell::simulation
