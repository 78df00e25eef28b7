// SPDX-License-Identifier: MIT
#include "posix/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace lumivane {
namespace {

// The home folder of the account, for a process started without HOME.
std::string HomeFromPasswd() {
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::string buffer(size > 0 ? static_cast<size_t>(size) : 16384, '\0');
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && *found->pw_dir == '/') {
    return found->pw_dir;
  }
  return "/";
}

}  // namespace

std::filesystem::path UserConfigHome() {
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    return xdg;
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return std::filesystem::path(home) / ".config";
  }
  return std::filesystem::path(HomeFromPasswd()) / ".config";
}

}  // namespace lumivane
