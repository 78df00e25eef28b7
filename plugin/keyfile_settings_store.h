// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "core/clock.h"
#include "core/settings_store.h"
#include "core/user_reports.h"

namespace lumivane {

// Settings as key files, one per application name, in a folder of the
// user's configuration home:
//   $XDG_CONFIG_HOME/lumivane/settings/<escaped application>.conf
// with one group per section and the values as GKeyFile strings (so blanks
// and any characters survive).
//
// Escaping: in file names every byte outside [A-Za-z0-9_-. ] and a '.' at
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
//
// Read takes a file that does not parse as empty; with damage reports it
// also says so, once for each damaged file (a file replaced or changed
// since is another one), with the file and the reason.
class KeyFileSettingsStore final : public SettingsStore {
 public:
  static constexpr std::chrono::milliseconds kLockTimeout{5000};

  // A write waits at most lockTimeout on the clock for another process's
  // write.
  KeyFileSettingsStore(std::filesystem::path folder, Clock& clock,
                       std::chrono::milliseconds lockTimeout = kLockTimeout,
                       UserReports* damageReports = nullptr);
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

  static std::string EscapeFileName(std::string_view name);
  static std::string EscapeGroupName(std::string_view name);

 private:
  void ReportDamageOnce(const std::filesystem::path& path, std::string_view description);

  std::filesystem::path folder_;
  Clock& clock_;
  std::chrono::milliseconds lockTimeout_;
  UserReports* damageReports_;
  std::set<std::string> damageReported_;  // path and identity of each file
};

}  // namespace lumivane
