// SPDX-License-Identifier: MIT
#pragma once

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "tests/support/temp_folder.h"

namespace lumivane::test {

std::string FileBytes(const std::filesystem::path& path);
void PutFile(const std::filesystem::path& path, const std::string& bytes);
// Names in a folder, for seeing that nothing was left behind.
std::string ListFolder(const std::filesystem::path& folder);

// Makes a folder refuse new files while it lives, even for root: chmod for
// anyone else, the immutable attribute for root (chmod does not stop root).
// works() is false where neither is possible (the test then skips).
class ReadOnlyFolder {
 public:
  explicit ReadOnlyFolder(const std::filesystem::path& folder);
  ~ReadOnlyFolder();
  ReadOnlyFolder(const ReadOnlyFolder&) = delete;
  ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
  bool works() const { return works_; }
  const char* means() const { return immutable_ ? "immutable attribute" : "chmod 0555"; }

 private:
  std::filesystem::path folder_;
  bool immutable_ = false;
  bool works_ = false;
};

// The disk is full for this process while it lives: files cannot grow
// beyond a few bytes (RLIMIT_FSIZE, which holds for root too; the signal it
// raises is ignored so writes fail with EFBIG instead).
class FullDisk {
 public:
  explicit FullDisk(rlim_t bytes = 8);
  ~FullDisk();
  FullDisk(const FullDisk&) = delete;
  FullDisk& operator=(const FullDisk&) = delete;

 private:
  rlimit old_{};
  struct sigaction oldAction_ {};
};

}  // namespace lumivane::test
