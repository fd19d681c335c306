// FirefoxSessionSource: the BrowserSource that reads Firefox's windows and tabs from the session
// file of each profile, not from its windows. Firefox not set up for the user (no profiles.ini)
// isn't listed; set up but not running, it is listed as notRunning without windows; running (a
// process of the user whose executable is firefox or firefox-esr) it is listed with the windows
// of every profile whose running session file exists, or as failed when none of them can be read
// or one is damaged. Reads files only; callable from any one thread at a time.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>

#include "linux/capture/browser_source.h"
#include "linux/capture/process_table.h"

namespace brimwell {

class FirefoxSessionSource final : public BrowserSource {
 public:
  // `home` is the user's home directory, `user` the owner of the Firefox processes counted.
  FirefoxSessionSource(std::filesystem::path home, std::unique_ptr<ProcessTable> processes,
                       uid_t user);
  // The source for this process's user: the home directory from the password database, /proc.
  static std::unique_ptr<FirefoxSessionSource> forCurrentUser();

  std::vector<BrowserRecord> browsers() override;

 private:
  bool firefoxRunning();

  std::filesystem::path home_;
  std::unique_ptr<ProcessTable> processes_;
  uid_t user_;
};

}  // namespace brimwell
