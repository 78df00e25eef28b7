// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/settings_store.h"

namespace lumivane {

// Settings as key files, one per application name, in a folder of the
// user's configuration home:
//   $XDG_CONFIG_HOME/lumivane/settings/<escaped application>.conf
// with one group per section and the values as GKeyFile strings (so blanks
// and any characters survive).
//
// Escaping: in file names every byte outside [A-Za-z0-9_- ] and a '.' at
// the start become %XX (upper-case hex), so "/", ".." and control
// characters can never address a path outside the folder; the empty name is
// "%". In group and key names '%', '[', ']', '=', control characters, bytes
// of invalid UTF-8, a leading '#' and a blank at either end become %XX, so
// no name can open or close another group or hide as a comment; the empty
// name is "%". Each escaping is reversible, so distinct names never share a
// place.
//
// Writes are atomic (temporary file, fsync, rename) under an flock on
// "<file>.lock", keep the file's mode (and a symbolic link, by replacing its
// target), and never overwrite a file that does not parse.
class KeyFileSettingsStore final : public SettingsStore {
 public:
  // A write waits at most lockTimeout for another process's write.
  explicit KeyFileSettingsStore(std::filesystem::path folder,
                                std::chrono::milliseconds lockTimeout = std::chrono::seconds(5));
  // The folder for the current user ($XDG_CONFIG_HOME, else ~/.config).
  static std::filesystem::path DefaultFolder();

  std::string Read(std::string_view app, std::string_view section, std::string_view key) override;
  // Like Read, but a file that exists and cannot be read or does not parse
  // throws Failure (9100, 9101) instead of reading as "". For tools.
  std::string ReadChecked(std::string_view app, std::string_view section,
                          std::string_view key) const;
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override;

  std::filesystem::path FileFor(std::string_view app) const;
  const std::filesystem::path& folder() const { return folder_; }

  static std::string EscapeFileName(std::string_view name);
  static std::string EscapeGroupName(std::string_view name);

 private:
  std::filesystem::path folder_;
  std::chrono::milliseconds lockTimeout_;
};

}  // namespace lumivane
