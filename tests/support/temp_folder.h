// SPDX-License-Identifier: MIT
// A fresh temporary folder, removed with everything in it at the end, and
// XDG_CONFIG_HOME pointed at one for the life of a test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace lumivane::test {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "lumivane-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Points XDG_CONFIG_HOME at a temporary folder, so nothing touches the
// user's real settings; restores the old value afterwards.
class TempConfigHome {
 public:
  TempConfigHome() {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) old_ = old;
    ::setenv("XDG_CONFIG_HOME", folder_.path().c_str(), 1);
  }
  ~TempConfigHome() {
    if (old_) {
      ::setenv("XDG_CONFIG_HOME", old_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  TempConfigHome(const TempConfigHome&) = delete;
  TempConfigHome& operator=(const TempConfigHome&) = delete;

  const std::filesystem::path& path() const { return folder_.path(); }

 private:
  TempFolder folder_;
  std::optional<std::string> old_;
};

}  // namespace lumivane::test
