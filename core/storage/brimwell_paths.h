// BrimwellPaths: every file location of the system, derived from two directories: the support
// directory that holds all state files and the user-visible root for rescued documents.
#pragma once

#include <filesystem>
#include <map>
#include <string>

#include "brimwell/core/base/date.h"
#include "brimwell/core/base/error.h"
#include "brimwell/core/base/time_zone.h"

namespace brimwell {

struct BrimwellPaths {
  std::filesystem::path support;
  std::filesystem::path rescueRoot;

  std::filesystem::path snapshots() const { return support / "Snapshots"; }
  std::filesystem::path journal() const { return support / "journal.json"; }
  std::filesystem::path rescueLedger() const { return support / "rescue-ledger.json"; }
  std::filesystem::path powerSaverRecord() const { return support / "power-saver.json"; }

  // The folder for the rescued copies of a save pass at `date`, named "yyyy-MM-dd HHmm" in
  // `timeZone`; passes in the same minute share it.
  std::filesystem::path rescueFolder(Date date, const TimeZone& timeZone) const;

  // The standard locations under a home directory.
  static BrimwellPaths standard(const std::filesystem::path& home);

  // The standard locations for the current user, whose home comes from the password database. The
  // environment is accepted and not consulted: no variable moves any file.
  static Result<BrimwellPaths> resolve(const std::map<std::string, std::string>& environment);

  friend bool operator==(const BrimwellPaths&, const BrimwellPaths&) = default;
};

}  // namespace brimwell
