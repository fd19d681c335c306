#include "brimwell/core/snapshots/snapshot_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "brimwell/core/snapshots/file_bytes.h"
#include "brimwell/core/snapshots/snapshot_id.h"
#include "brimwell/core/snapshots/snapshot_reader.h"
#include "brimwell/core/snapshots/snapshot_writer.h"
#include "brimwell/core/snapshots/summary_probe.h"
#include "brimwell/core/storage/atomic_file.h"
#include "brimwell/core/storage/brimwell_json.h"

namespace brimwell {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kExtension = ".json";
// Strings longer than this are left out before the summary probe parses a file. None the probe
// reads is nearly this long; a clipboard's Base64 usually is.
constexpr std::size_t kLongString = 64 * 1024;
static_assert(FileBytes::padding >= SummaryProbe::padding &&
              FileBytes::padding >= SnapshotReader::padding);

// The names in `directory`, or nothing when it can't be listed.
std::optional<std::vector<std::string>> listNames(const fs::path& directory) {
  DIR* dir = ::opendir(directory.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return names;
}

std::optional<struct stat> linkStatus(const fs::path& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) return std::nullopt;
  return status;
}

// A regular file, judged without following a symbolic link.
bool isPlainFile(const fs::path& path) {
  const auto status = linkStatus(path);
  return status && S_ISREG(status->st_mode);
}

Date modificationDate(const struct stat& status) {
  return Date(std::chrono::seconds(status.st_mtim.tv_sec) +
              std::chrono::nanoseconds(status.st_mtim.tv_nsec));
}

// The stem of a snapshot file name, or nothing when the name isn't identifier + ".json".
std::optional<std::string> snapshotStem(std::string_view name) {
  if (!name.ends_with(kExtension)) return std::nullopt;
  std::string stem(name.substr(0, name.size() - kExtension.size()));
  if (!SnapshotID::isValid(stem)) return std::nullopt;
  return stem;
}

bool isHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The canonical 8-4-4-4-12 hexadecimal form of a UUID, in either case.
bool isUUID(std::string_view text) {
  if (text.size() != 36) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
    if (hyphen ? text[i] != '-' : !isHex(text[i])) return false;
  }
  return true;
}

// "." + identifier + ".json." + UUID + ".tmp", as the atomic writer names its temporary files.
bool isLeftoverName(std::string_view name) {
  constexpr std::string_view kTemp = ".tmp", kMiddle = ".json.";
  if (name.size() < 1 + kTemp.size() || !name.starts_with('.') || !name.ends_with(kTemp)) {
    return false;
  }
  const std::string_view inner = name.substr(1, name.size() - 1 - kTemp.size());
  const std::size_t middle = inner.find(kMiddle);
  if (middle == std::string_view::npos) return false;
  return SnapshotID::isValid(inner.substr(0, middle)) &&
         isUUID(inner.substr(middle + kMiddle.size()));
}

// `path` with symbolic links resolved and "." and ".." removed, or nothing when it doesn't exist.
std::optional<std::string> resolved(const fs::path& path) {
  char buffer[PATH_MAX];
  if (::realpath(path.c_str(), buffer) == nullptr) return std::nullopt;
  return std::string(buffer);
}

// Moves `from` to `to` unless something is already there; false when the name is taken.
enum class MoveResult { moved, taken, failed };
MoveResult moveWithoutReplacing(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return MoveResult::moved;
  }
  if (errno == EEXIST) return MoveResult::taken;
  if (errno != EINVAL && errno != ENOSYS) return MoveResult::failed;
  // A file system without the no-replace flag: check first, then rename.
  if (linkStatus(to)) return MoveResult::taken;
  return ::rename(from.c_str(), to.c_str()) == 0 ? MoveResult::moved : MoveResult::failed;
}

// The top-level integer `schema` of a JSON document, read alone; nothing when the text isn't JSON
// or has no such integer.
std::optional<std::int64_t> schemaOf(std::string_view bytes) {
  const auto tree = BrimwellJSON::parseTree(bytes);
  if (!tree) return std::nullopt;
  try {
    return JsonObjectReader(*tree).required<std::int64_t>("schema");
  } catch (const JsonCodingError&) {
    return std::nullopt;
  }
}

}  // namespace

SnapshotStore::SnapshotStore(BrimwellPaths paths, FileSystem& fileSystem)
    : paths_(std::move(paths)), folder_(paths_.snapshots()), fileSystem_(fileSystem) {}

Expected<void, SnapshotSaveError> SnapshotStore::save(const Snapshot& snapshot) {
  if (!SnapshotID::isValid(snapshot.id)) {
    return Unexpected(SnapshotSaveError(SnapshotStoreError::invalidID(snapshot.id)));
  }
  const AtomicFile::Producer produce = [&snapshot](const AtomicFile::ByteSink& sink) {
    return SnapshotWriter::write(snapshot, sink);
  };
  if (Status written = AtomicFile::writeProduced(produce, fileOf(snapshot.id), AtomicFile::fullSync,
                                                 fileSystem_);
      !written) {
    return Unexpected(SnapshotSaveError(std::move(written).error()));
  }
  forget(snapshot.id);
  return {};
}

std::optional<Snapshot> SnapshotStore::decodeOrSetAside(const std::string& id,
                                                        std::string_view bytes,
                                                        std::size_t allocated) {
  auto snapshot = SnapshotReader::decode(bytes, allocated);
  if (!snapshot) {
    setAside(id, bytes);
    return std::nullopt;
  }
  snapshot->id = id;  // the file name wins over the stored field
  return std::move(*snapshot);
}

std::optional<Snapshot> SnapshotStore::load(const std::string& id) {
  if (!SnapshotID::isValid(id)) return std::nullopt;
  const auto bytes = FileBytes::read(fileOf(id));
  if (!bytes) return std::nullopt;
  return decodeOrSetAside(id, bytes->view(), bytes->allocated);
}

std::optional<Snapshot> SnapshotStore::latest() {
  for (const auto& id : ids()) {
    const auto bytes = FileBytes::read(fileOf(id));
    if (!bytes) continue;
    if (auto snapshot = decodeOrSetAside(id, bytes->view(), bytes->allocated)) return snapshot;
  }
  return std::nullopt;
}

bool SnapshotStore::contains(const std::string& id) const {
  return SnapshotID::isValid(id) && isPlainFile(fileOf(id));
}

std::vector<SnapshotStore::Listed> SnapshotStore::listSnapshots() const {
  std::vector<Listed> result;
  const auto names = listNames(folder_);
  if (!names) return result;
  for (const auto& name : *names) {
    auto stem = snapshotStem(name);
    if (!stem) continue;
    const auto status = linkStatus(folder_ / name);
    if (!status || !S_ISREG(status->st_mode)) continue;
    result.push_back({std::move(*stem), modificationDate(*status), status->st_size});
  }
  std::sort(result.begin(), result.end(),
            [](const Listed& a, const Listed& b) { return a.id > b.id; });
  return result;
}

std::vector<std::string> SnapshotStore::ids() const {
  std::vector<std::string> result;
  for (auto& listed : listSnapshots()) result.push_back(std::move(listed.id));
  return result;
}

std::optional<SnapshotSummary> SnapshotStore::summary(const Listed& listed) {
  {
    std::lock_guard guard(lock_);
    const auto it = cache_.find(listed.id);
    if (it != cache_.end() && it->second.modified == listed.modified &&
        it->second.size == listed.size) {
      return it->second.summary;
    }
  }
  // A clipboard's Base64 is left out while reading: the probe skips it anyway. Only when the
  // probe fails on the shortened text is the whole file read, so the failure is the file's own.
  auto bytes = FileBytes::readSkippingLongStrings(fileOf(listed.id), kLongString);
  if (!bytes) return std::nullopt;
  auto probe = SummaryProbe::decode(bytes->view(), bytes->allocated, bytes->shortened);
  if (!probe && bytes->shortened) {
    bytes = FileBytes::read(fileOf(listed.id));
    if (!bytes) return std::nullopt;
    probe = SummaryProbe::decode(bytes->view(), bytes->allocated);
  }
  if (!probe) {
    setAside(listed.id, bytes->view());
    return std::nullopt;
  }
  SnapshotSummary result = probe->summary(listed.id);
  std::lock_guard guard(lock_);
  cache_.insert_or_assign(listed.id, Cached{listed.modified, listed.size, result});
  return result;
}

std::vector<SnapshotSummary> SnapshotStore::summaries() {
  const auto listed = listSnapshots();  // newest first
  std::vector<SnapshotSummary> result;
  result.reserve(listed.size());
  for (const auto& entry : listed) {
    if (auto found = summary(entry)) result.push_back(std::move(*found));
  }
  const auto isListed = [&](const std::string& id) {
    return std::binary_search(listed.begin(), listed.end(), Listed{id, {}, 0},
                              [](const Listed& a, const Listed& b) { return a.id > b.id; });
  };
  std::lock_guard guard(lock_);
  std::erase_if(cache_, [&](const auto& entry) { return !isListed(entry.first); });
  return result;
}

std::optional<SnapshotSummary> SnapshotStore::latestSummary() {
  for (const auto& entry : listSnapshots()) {
    if (auto found = summary(entry)) return found;
  }
  return std::nullopt;
}

void SnapshotStore::setAside(const std::string& id, std::string_view bytes) {
  // A file a newer version wrote stays where it is.
  if (const auto schema = schemaOf(bytes); schema && *schema > Snapshot::currentSchema) return;
  const fs::path file = fileOf(id);
  if (!isPlainFile(file)) return;
  std::error_code ignored;
  fs::create_directories(corruptFolder(), ignored);
  for (int n = 0;; ++n) {
    const std::string name = n == 0 ? id + ".json" : id + "-" + std::to_string(n) + ".json";
    const MoveResult result = moveWithoutReplacing(file, corruptFolder() / name);
    if (result == MoveResult::taken) continue;
    break;  // moved, or failed: a failure is ignored
  }
  forget(id);
}

bool SnapshotStore::removeSnapshotFile(const fs::path& url) {
  const auto stem = snapshotStem(url.filename().string());
  if (!stem) return false;
  for (const auto& component : url) {
    if (component == "..") return false;
  }
  const auto directory = resolved(url.parent_path().empty() ? fs::path(".") : url.parent_path());
  const auto snapshotFolder = resolved(folder_);
  if (!directory || !snapshotFolder || *directory != *snapshotFolder) return false;
  if (!isPlainFile(url)) return false;
  if (::unlink(url.c_str()) != 0) return false;
  forget(*stem);
  return true;
}

std::vector<std::string> SnapshotStore::removeLeftoverTempFiles(Date now) {
  std::vector<std::string> removed;
  const auto names = listNames(folder_);
  if (!names) return removed;
  for (const auto& name : *names) {
    if (!isLeftoverName(name)) continue;
    const fs::path path = folder_ / name;
    const auto status = linkStatus(path);
    if (!status || !S_ISREG(status->st_mode)) continue;
    const auto age =
        std::chrono::duration_cast<std::chrono::seconds>(now - modificationDate(*status));
    if (age.count() > leftoverTempAge && ::unlink(path.c_str()) == 0) removed.push_back(name);
  }
  return removed;
}

std::vector<std::string> SnapshotStore::prune(Date now, const std::set<std::string>& keeping) {
  removeLeftoverTempFiles(now);
  std::vector<std::string> removed;
  const auto listed = ids();
  for (std::size_t position = keepNewest; position < listed.size(); ++position) {
    const std::string& id = listed[position];
    if (keeping.contains(id)) continue;
    const auto created = SnapshotID::date(id);
    if (!created || secondsBetween(now, *created) < keepYoungerThan) continue;
    if (removeSnapshotFile(fileOf(id))) removed.push_back(id);
  }
  return removed;
}

void SnapshotStore::forget(const std::string& id) {
  std::lock_guard guard(lock_);
  cache_.erase(id);
}

}  // namespace brimwell
