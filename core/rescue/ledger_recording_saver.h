// LedgerRecordingSaver: a document saver that hands every pass to another one and, before it
// answers, records the pass's rescue copies in the rescue ledger at the moment the pass began, so
// the user's list of recently rescued documents follows every pass. Thread-safe as the saver it
// wraps; the ledger is written on whichever thread the pass answers.
#pragma once

#include <functional>
#include <memory>

#include "brimwell/core/base/date.h"
#include "brimwell/core/engine/collaborators.h"
#include "brimwell/core/rescue/rescue_ledger.h"

namespace brimwell {

class LedgerRecordingSaver final : public DocumentSaving {
 public:
  LedgerRecordingSaver(std::shared_ptr<DocumentSaving> saver, std::shared_ptr<RescueLedger> ledger,
                       std::function<Date()> now)
      : saver_(std::move(saver)), ledger_(std::move(ledger)), now_(std::move(now)) {}

  void saveDocuments(const std::filesystem::path& rescueFolder,
                     const std::set<std::string>& commandSBundleIDs,
                     const std::set<std::string>& excluding,
                     std::function<void(SavePassOutput)> done) override;

 private:
  std::shared_ptr<DocumentSaving> saver_;
  std::shared_ptr<RescueLedger> ledger_;
  std::function<Date()> now_;
};

}  // namespace brimwell
