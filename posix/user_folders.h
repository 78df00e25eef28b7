// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>

namespace lumivane {

// The user's configuration home: $XDG_CONFIG_HOME when it is absolute, else
// $HOME/.config, else the account's home from the password database (or
// "/") with .config. Looked up afresh on every call.
std::filesystem::path UserConfigHome();

// Our folder in it, which holds the settings and the ports folder.
inline std::filesystem::path LumivaneConfigFolder() {
  return UserConfigHome() / "lumivane";
}

}  // namespace lumivane
