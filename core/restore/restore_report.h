// What a restore executor reports: each step's outcome, the final report and progress along the
// way. The reason and description texts are the executor's own. Plain values; any thread.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "brimwell/core/restore/restore_step.h"

namespace brimwell {

class RestoreStepOutcome {
 public:
  struct Done {
    friend bool operator==(const Done&, const Done&) = default;
  };
  struct Skipped {
    std::string reason;
    friend bool operator==(const Skipped&, const Skipped&) = default;
  };
  struct Failed {
    std::string reason;
    friend bool operator==(const Failed&, const Failed&) = default;
  };
  using Case = std::variant<Done, Skipped, Failed>;

  RestoreStepOutcome(Case value) : value_(std::move(value)) {}

  static RestoreStepOutcome done() { return Case(Done{}); }
  static RestoreStepOutcome skipped(std::string reason) { return Case(Skipped{std::move(reason)}); }
  static RestoreStepOutcome failed(std::string reason) { return Case(Failed{std::move(reason)}); }

  const Case& value() const { return value_; }
  template <class T>
  const T* as() const {
    return std::get_if<T>(&value_);
  }

  friend bool operator==(const RestoreStepOutcome&, const RestoreStepOutcome&) = default;

 private:
  Case value_;
};

struct RestoreStepResult {
  RestoreStep step;
  RestoreStepOutcome outcome;
  friend bool operator==(const RestoreStepResult&, const RestoreStepResult&) = default;
};

struct RestoreReport {
  std::string snapshotID;
  std::vector<RestoreStepResult> results;  // one per step carried out, in plan order
  friend bool operator==(const RestoreReport&, const RestoreReport&) = default;
};

struct RestoreProgress {
  int completed = 0;    // steps finished so far
  int total = 0;        // steps in the plan
  std::string current;  // a description of the step under way
  friend bool operator==(const RestoreProgress&, const RestoreProgress&) = default;
};

}  // namespace brimwell
