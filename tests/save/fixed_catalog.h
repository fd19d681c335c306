// FixedCatalog: the desktop files a test says are installed, and no others.
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "linux/capture/desktop_catalog.h"

namespace brimwell::testing {

class FixedCatalog final : public DesktopCatalog {
 public:
  explicit FixedCatalog(std::vector<DesktopEntry> entries) : entries_(std::move(entries)) {}
  const std::vector<DesktopEntry>& entries() override { return entries_; }
  std::optional<DesktopEntry> entryAt(const std::filesystem::path&) override { return {}; }

 private:
  std::vector<DesktopEntry> entries_;
};

}  // namespace brimwell::testing
