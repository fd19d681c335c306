// A file only this user can read, holding a text another program is handed by path (a script
// KWin loads, a session kitty starts from), in $XDG_RUNTIME_DIR (else /tmp) and removed when the
// PrivateFile goes away.
#pragma once

#include <string>
#include <string_view>

namespace brimwell {

class PrivateFile {
 public:
  // `suffix` ends the file's name (".js"); path() is empty when the file couldn't be written.
  PrivateFile(std::string_view text, std::string_view suffix);
  ~PrivateFile();
  PrivateFile(PrivateFile&& other) noexcept;
  PrivateFile& operator=(PrivateFile&&) = delete;
  PrivateFile(const PrivateFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace brimwell
