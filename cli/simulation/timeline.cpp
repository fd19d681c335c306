#include "cli/simulation/timeline.h"

#include <cmath>
#include <cstdio>

#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell::simulation {
namespace {

std::string text(const Json& value) {
  return value.is_string() ? value.get<std::string>() : BrimwellJSON::dump(value);
}

std::string percentText(const Json& fields) {
  return fields.contains("percent") ? " at " + text(fields["percent"]) + " %" : "";
}

std::string powerSaverText(const Json& record) {
  std::string out = "power saver holds";
  if (record.value("turnedOnLowPowerMode", false)) out += " Low Power Mode on,";
  if (record.contains("previousBrightness") && record.contains("dimmedTo")) {
    out += " brightness " + text(record["previousBrightness"]) + " -> " + text(record["dimmedTo"]) +
           ",";
  }
  if (record.contains("previousHibernateMode")) {
    out += " hibernate mode was " + text(record["previousHibernateMode"]) + ",";
  }
  if (out.back() != ',') return "power saver holds nothing";
  out.pop_back();
  return out;
}

std::string words(const Json& f) {
  if (f.contains("event")) {
    const std::string event = f["event"];
    if (event == "enteredPhase") return "EVENT enteredPhase " + text(f["phase"]) + percentText(f);
    if (event == "savePassFinished") {
      return "EVENT savePassFinished: " + text(f["results"]) + " apps, snapshot " +
             text(f["snapshot"]) + " (" + text(f["trigger"]) + ")";
    }
    if (f.contains("message")) return "EVENT " + event + ": " + text(f["message"]);
    return "EVENT " + event + percentText(f);
  }
  if (f.contains("reading")) {
    const Json& r = f["reading"];
    std::string out = "reading " + text(r["percent"]) + " % on " + text(r["powerSource"]);
    if (r.contains("minutesToEmpty")) out += ", " + text(r["minutesToEmpty"]) + " min left";
    return out;
  }
  if (f.contains("phase")) return "phase is now " + text(f["phase"]) + percentText(f);
  if (f.contains("powerSource")) return "effective power source: " + text(f["powerSource"]);
  if (f.contains("trigger")) {
    return "snapshot stored " + text(f["snapshot"]) + " (" + text(f["trigger"]) + ")";
  }
  if (f.contains("savePass")) {
    return "save pass: " + text(f["savePass"]) + " apps, " + text(f["saved"]) + " saved, " +
           text(f["rescued"]) + " rescued";
  }
  if (f.contains("powerSaver")) return powerSaverText(f["powerSaver"]);
  if (f.contains("helper")) return "helper " + text(f["helper"]);
  if (f.contains("pmset")) return "  $ " + text(f["pmset"]);
  if (f.contains("machine")) {
    return f["machine"] == "sleep" ? "machine sleeps for " + text(f["seconds"]) + " s"
                                   : "machine wakes";
  }
  if (f.contains("start")) {
    std::string out =
        "engine starts (boot " + text(f["boot"]) + "): previous session " + text(f["start"]);
    if (f.contains("snapshot")) out += ", snapshot " + text(f["snapshot"]);
    return out;
  }
  if (f.contains("pendingRestore")) {
    if (f["pendingRestore"].is_null()) return "restore offer withdrawn";
    return "restore offered (" + text(f["pendingRestore"]) + "): snapshot " + text(f["snapshot"]);
  }
  if (f.contains("restorePlan")) {
    if (f["restorePlan"].is_null())
      return "restore plan: snapshot " + text(f["snapshot"]) + " is gone";
    std::string out = "restore plan for " + text(f["restorePlan"]) + ":";
    for (const auto& step : f["steps"]) out += " " + text(step);
    return out;
  }
  if (f.contains("answered")) {
    return text(f["answered"]) + " answered: " +
           (f["snapshot"].is_null() ? "no snapshot" : "snapshot " + text(f["snapshot"]));
  }
  if (f.contains("do")) return "> " + text(f["do"]);
  return BrimwellJSON::dump(f);
}

}  // namespace

std::string clockText(double seconds) {
  const long long whole = static_cast<long long>(std::floor(std::max(0.0, seconds)));
  char buffer[32];
  if (whole >= 3600) {
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  } else {
    std::snprintf(buffer, sizeof buffer, "%02lld:%02lld", whole / 60, whole % 60);
  }
  return buffer;
}

std::string jsonLine(const TimelineEntry& entry) {
  Json fields = entry.fields;
  const double rounded = std::round(entry.t * 1000) / 1000;
  if (rounded == std::floor(rounded)) {
    fields["t"] = static_cast<std::int64_t>(rounded);
  } else {
    fields["t"] = rounded;
  }
  return BrimwellJSON::dump(fields);
}

std::string textLine(const TimelineEntry& entry) {
  std::string time = clockText(entry.t);
  if (time.size() < 8) time.append(8 - time.size(), ' ');
  return time + "  " + words(entry.fields);
}

}  // namespace brimwell::simulation
