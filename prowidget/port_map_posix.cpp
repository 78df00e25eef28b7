// SPDX-License-Identifier: MIT
#include "prowidget/port_map_posix.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/failure.h"
#include "posix/user_folders.h"

namespace lumivane {
namespace fs = std::filesystem;

void PortMap::CheckNumber(int port) {
  if (port < kLowestPort || port > kHighestPort) {
    throw Failure(ErrorNumber::kPortInvalid, std::to_string(port) + " is not in 1..255");
  }
}

fs::path PortMap::Folder() const {
  if (folder_) return *folder_;
  // Beside the settings folder, under the same configuration home.
  return LumivaneConfigFolder() / "ports";
}

fs::path PortMap::LinkPath(int port) const {
  CheckNumber(port);
  return Folder() / ("com" + std::to_string(port));
}

std::optional<fs::path> PortMap::LinkTarget(int port) const {
  std::error_code ec;
  fs::path target = fs::read_symlink(LinkPath(port), ec);
  if (ec) return std::nullopt;
  return target;
}

fs::path PortMap::DevicePath(int port) const {
  if (LinkTarget(port)) return LinkPath(port);
  return "/dev/ttyUSB" + std::to_string(port - 1);
}

void PortMap::Link(int port, const fs::path& path) const {
  const fs::path link = LinkPath(port);
  if (path.empty()) throw Failure(ErrorNumber::kInvalidCall, "the device path is empty");
  std::error_code ec;
  const fs::path target = fs::absolute(path, ec);
  if (!ec) fs::create_directories(link.parent_path(), ec);
  if (ec)
    throw Failure(ErrorNumber::kPortMapWriteFailed,
                  link.parent_path().string() + ": " + ec.message());
  // A new link under a temporary name, renamed over the old one: the port
  // never points nowhere half way.
  const fs::path temporary = link.string() + ".new" + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0 ||
      ::rename(temporary.c_str(), link.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw Failure(ErrorNumber::kPortMapWriteFailed, link.string() + ": " + std::strerror(error));
  }
}

bool PortMap::Unlink(int port) const {
  const fs::path link = LinkPath(port);
  if (!LinkTarget(port)) return false;
  if (::unlink(link.c_str()) != 0) {
    throw Failure(ErrorNumber::kPortMapWriteFailed, link.string() + ": " + std::strerror(errno));
  }
  return true;
}

std::vector<PortMap::Entry> PortMap::Entries() const {
  std::vector<Entry> entries;
  std::error_code ec;
  for (int port = kLowestPort; port <= kHighestPort; ++port) {
    if (auto target = LinkTarget(port)) {
      entries.push_back({port, *target, true});
    } else if (fs::path device = DevicePath(port); fs::exists(device, ec)) {
      entries.push_back({port, device, false});
    }
  }
  return entries;
}

}  // namespace lumivane
