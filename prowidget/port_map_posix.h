// SPDX-License-Identifier: MIT
#pragma once

#include <filesystem>
#include <optional>
#include <vector>

namespace lumivane {

inline constexpr int kLowestPort = 1;
inline constexpr int kHighestPort = 255;

// Which device a serial port number stands for. Port n is the symbolic link
// "com<n>" in the user's ports folder when there is one, otherwise
// /dev/ttyUSB<n-1>. The folder is $XDG_CONFIG_HOME/lumivane/ports (default
// ~/.config/lumivane/ports), looked up afresh on every call unless a folder
// was given. Numbers outside 1..255 throw Failure 8002.
class PortMap {
 public:
  PortMap() = default;
  explicit PortMap(std::filesystem::path folder) : folder_(std::move(folder)) {}

  std::filesystem::path Folder() const;
  std::filesystem::path DevicePath(int port) const;
  // The link's target, or nothing when the port has no link.
  std::optional<std::filesystem::path> LinkTarget(int port) const;

  // Points port n at path (made absolute), replacing any link it had.
  // Throws Failure 8002 for a bad number, 8024 when the folder cannot be
  // written.
  void Link(int port, const std::filesystem::path& path) const;
  // Removes the link of port n; returns false when it had none.
  bool Unlink(int port) const;

  struct Entry {
    int port;
    std::filesystem::path device;
    bool linked;
  };
  // Every linked port, and every /dev/ttyUSB<n-1> that exists, by number.
  std::vector<Entry> Entries() const;

  static void CheckNumber(int port);

 private:
  std::filesystem::path LinkPath(int port) const;
  std::optional<std::filesystem::path> folder_;
};

}  // namespace lumivane
