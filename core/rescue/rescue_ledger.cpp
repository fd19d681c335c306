#include "brimwell/core/rescue/rescue_ledger.h"

#include <chrono>
#include <system_error>
#include <unordered_set>

#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/read_file.h"

namespace brimwell {
namespace {

// Ages are compared in whole nanoseconds so that "exactly six hours old" is exact.
constexpr std::chrono::nanoseconds kMaxAge = std::chrono::seconds(21'600);
constexpr std::chrono::nanoseconds kFutureAllowance = std::chrono::seconds(60);
static_assert(kMaxAge == std::chrono::seconds(static_cast<long long>(RescueLedger::maxAge)));

}  // namespace

std::vector<RescueLedger::Entry> RescueLedger::readEntries() const {
  auto bytes = readFile(url_);
  if (!bytes) return {};
  auto decoded = BrimwellJSON::decode<std::vector<Entry>>(*bytes);
  if (!decoded) return {};
  return std::move(*decoded);
}

std::vector<RescueLedger::Entry> RescueLedger::entries() const {
  std::lock_guard guard(lock_);
  return readEntries();
}

bool RescueLedger::record(const std::vector<RescuedDocument>& documents, Date at) {
  if (documents.empty()) return true;
  std::lock_guard guard(lock_);

  std::unordered_set<std::string> paths;
  for (const auto& document : documents) paths.insert(document.path);

  std::vector<Entry> updated;
  for (auto& entry : readEntries()) {
    // A future-dated entry has a negative age and is kept.
    if (paths.count(entry.document.path) == 0 && at - entry.savedAt < kMaxAge) {
      updated.push_back(std::move(entry));
    }
  }
  for (const auto& document : documents) updated.push_back(Entry{document, at});

  auto bytes = BrimwellJSON::encode(updated);
  if (!bytes) return false;
  return AtomicFile::write(*bytes, url_).has_value();
}

std::vector<RescuedDocument> RescueLedger::recent(Date now, const FileExists& fileExists) const {
  std::vector<Entry> all;
  {
    std::lock_guard guard(lock_);
    all = readEntries();
  }
  std::vector<RescuedDocument> kept;
  for (auto it = all.rbegin(); it != all.rend(); ++it) {
    if (!(now - it->savedAt < kMaxAge)) continue;
    if (it->savedAt > now + kFutureAllowance) continue;
    if (!fileExists(it->document.path)) continue;
    kept.push_back(std::move(it->document));
  }
  return kept;
}

std::vector<RescuedDocument> RescueLedger::merged(
    const std::vector<std::vector<RescuedDocument>>& lists) {
  std::unordered_set<std::string> seen;
  std::vector<RescuedDocument> result;
  for (const auto& list : lists) {
    for (const auto& document : list) {
      if (seen.insert(document.path).second) result.push_back(document);
    }
  }
  return result;
}

void RescueLedger::clear() {
  std::lock_guard guard(lock_);
  std::error_code ignored;
  std::filesystem::remove(url_, ignored);
}

Json JsonCoding<RescueLedger::Entry>::write(const RescueLedger::Entry& value) {
  return JsonObjectWriter().put("document", value.document).put("savedAt", value.savedAt).take();
}

RescueLedger::Entry JsonCoding<RescueLedger::Entry>::read(const Json& json) {
  const JsonObjectReader r(json);
  return {r.required<RescuedDocument>("document"), r.required<Date>("savedAt")};
}

}  // namespace brimwell
