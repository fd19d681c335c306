// ChromiumSessionSource: the BrowserSource that reads the windows and tabs of Chromium-family
// browsers (Chromium, Google Chrome, Brave, Edge, Vivaldi) from their own session files. A kind
// neither running nor set up (no user-data folder) isn't listed; set up but not running, it is
// listed as notRunning; running (a process of the user whose executable is the kind's), it is
// listed with the windows of the session files its browser processes hold open (whatever user-
// data folder they were started with), else of the newest session file of every profile its
// `Local State` lists; as failed when there is no such file or one can't be read. Reads files
// only; callable from any one thread at a time.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <memory>

#include "linux/capture/browser_source.h"
#include "linux/capture/process_table.h"

namespace brimwell {

// The profile folders the `Local State` in the user-data folder `userData` lists, in its order;
// the default profile's when it lists none, as before the browser's first write of it.
std::vector<std::filesystem::path> chromiumProfileFolders(const std::filesystem::path& userData);

class ChromiumSessionSource final : public BrowserSource {
 public:
  // `configHome` is the user's configuration folder, `user` the owner of the processes counted.
  ChromiumSessionSource(std::filesystem::path configHome, std::unique_ptr<ProcessTable> processes,
                        uid_t user);
  // The source for this process's user: $XDG_CONFIG_HOME when absolute, else ~/.config; /proc.
  static std::unique_ptr<ChromiumSessionSource> forCurrentUser();

  std::vector<BrowserRecord> browsers() override;

 private:
  std::filesystem::path configHome_;
  std::unique_ptr<ProcessTable> processes_;
  uid_t user_;
};

}  // namespace brimwell
