// BrowserSource: where the Linux capturer gets the browsers' windows and tabs. Each implementation
// reads one kind of browser session (or several) and answers with one record per browser it knows
// about; a browser that is not running is left out or reported with status notRunning, and one
// whose session cannot be read is reported with status failed. Implementations never throw and
// bound every wait; `browsers` is called from the capturing thread, once per capture.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "brimwell/core/snapshots/workspace_records.h"

namespace brimwell {

class BrowserSource {
 public:
  virtual ~BrowserSource() = default;
  // The browsers' windows and tabs as they are now.
  virtual std::vector<BrowserRecord> browsers() = 0;
};

// Several sources as one, asked in order; their records are concatenated.
class CombinedBrowserSource final : public BrowserSource {
 public:
  explicit CombinedBrowserSource(std::vector<std::unique_ptr<BrowserSource>> sources)
      : sources_(std::move(sources)) {}
  std::vector<BrowserRecord> browsers() override {
    std::vector<BrowserRecord> all;
    for (const auto& source : sources_) {
      auto records = source->browsers();
      all.insert(all.end(), records.begin(), records.end());
    }
    return all;
  }

 private:
  std::vector<std::unique_ptr<BrowserSource>> sources_;
};

}  // namespace brimwell
