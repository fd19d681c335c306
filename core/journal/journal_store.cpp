#include "brimwell/core/journal/journal_store.h"

#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"
#include "brimwell/core/storage/read_file.h"

namespace brimwell {

std::optional<Journal> JournalStore::read() const {
  auto bytes = readFile(url_);
  if (!bytes) return std::nullopt;
  auto journal = BrimwellJSON::decode<Journal>(*bytes);
  if (!journal) return std::nullopt;
  return std::move(*journal);
}

Status JournalStore::write(const Journal& journal) {
  auto bytes = BrimwellJSON::encode(journal);
  if (!bytes) return Unexpected(std::move(bytes).error());
  if (auto written = AtomicFile::write(*bytes, url_); !written) return written;

  Observer observer;
  {
    std::lock_guard guard(lock_);
    observer = observer_;
  }
  if (observer) observer(journal);
  return {};
}

void JournalStore::setObserver(Observer observer) {
  std::lock_guard guard(lock_);
  observer_ = std::move(observer);
}

}  // namespace brimwell
