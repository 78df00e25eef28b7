// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

#include "core/settings_store.h"

namespace lumivane {

// Settings in the registry key of the per-user settings store every
// program of that family reads and writes:
//   HKCU\<root>\<application>\<section>, string value <key>
// with root "Software\VB and VBA Program Settings". A backslash in an
// application or section name makes nested keys, as it does there; a
// missing key, a missing value and a value that is not a string read as "".
// Texts are UTF-8 here and UTF-16 in the registry. Host thread only.
class RegistrySettingsStore final : public SettingsStore {
 public:
  static constexpr std::string_view kDefaultRoot = "Software\\VB and VBA Program Settings";

  // Tests give a root of their own.
  explicit RegistrySettingsStore(std::string root = std::string(kDefaultRoot))
      : root_(std::move(root)) {}

  std::string Read(std::string_view app, std::string_view section, std::string_view key) override;
  // Throws Failure 9102 when the key cannot be created or the value set.
  void Write(std::string_view app, std::string_view section, std::string_view key,
             std::string_view value) override;

  // The key below HKCU that holds the section's values.
  std::string KeyPath(std::string_view app, std::string_view section) const;

 private:
  std::string root_;
};

}  // namespace lumivane
