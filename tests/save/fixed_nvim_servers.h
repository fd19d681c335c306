// The Neovim servers a test names, so a pass never reaches another test's editor.
#pragma once

#include <string>
#include <vector>

#include "linux/save/nvim_servers.h"

namespace brimwell::testing {

class FixedNvimServers final : public NvimServers {
 public:
  explicit FixedNvimServers(std::vector<std::string> sockets = {}) : sockets_(std::move(sockets)) {}
  std::vector<std::string> sockets() override { return sockets_; }

 private:
  std::vector<std::string> sockets_;
};

}  // namespace brimwell::testing
