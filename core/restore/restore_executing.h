// RestoreExecuting: carries out a RestorePlan step by step; implemented by the application, never
// called by the planner. Handlers may be called from any thread; the completion exactly once.
#pragma once

#include <functional>

#include "brimwell/core/restore/restore_plan.h"
#include "brimwell/core/restore/restore_report.h"

namespace brimwell {

class RestoreExecuting {
 public:
  using ProgressHandler = std::function<void(const RestoreProgress& progress)>;
  using Completion = std::function<void(RestoreReport report)>;

  virtual ~RestoreExecuting() = default;

  // Starts carrying out `plan` and returns; `progress` hears of each step as it begins or ends,
  // and `completion` receives the report once the last step carried out has finished.
  virtual void execute(const RestorePlan& plan, ProgressHandler progress,
                       Completion completion) = 0;
};

}  // namespace brimwell
