// The user's home directory as the desktop's programs take it: $HOME when it is set to an
// absolute path, else the password database's entry for the user. Every location the Linux
// application derives from the home (state, settings, rescued documents, desktop files, browser
// profiles) goes through here, so they all agree with the shell's $HOME.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace brimwell {

// `homeVariable` when absolute, else `user`'s home in the password database, else nothing.
std::optional<std::filesystem::path> userHome(const std::optional<std::string>& homeVariable,
                                              uid_t user);

// The current user's, with this process's $HOME.
std::optional<std::filesystem::path> currentUserHome();

}  // namespace brimwell
