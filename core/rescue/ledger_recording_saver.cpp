#include "brimwell/core/rescue/ledger_recording_saver.h"

namespace brimwell {

void LedgerRecordingSaver::saveDocuments(const std::filesystem::path& rescueFolder,
                                         const std::set<std::string>& commandSBundleIDs,
                                         const std::set<std::string>& excluding,
                                         std::function<void(SavePassOutput)> done) {
  const Date began = now_();
  saver_->saveDocuments(rescueFolder, commandSBundleIDs, excluding,
                        [ledger = ledger_, began, done = std::move(done)](SavePassOutput output) {
                          // A ledger that can't be written leaves the pass's answer as it is: the
                          // copies exist and every snapshot of the session lists them; only the
                          // recent-documents list misses them.
                          ledger->record(output.rescued, began);
                          done(std::move(output));
                        });
}

}  // namespace brimwell
