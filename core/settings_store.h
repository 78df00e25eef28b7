// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace lumivane {

// The per-user settings store: text values addressed by application name,
// section and key.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  // A value that does not exist, or cannot be read, reads as "". Never throws.
  virtual std::string Read(std::string_view app, std::string_view section,
                           std::string_view key) = 0;
  // Creates the section and key when needed. Throws Failure when the value
  // cannot be stored; what was stored before stays as it was.
  virtual void Write(std::string_view app, std::string_view section, std::string_view key,
                     std::string_view value) = 0;
};

// The section of a plug-in's settings: "Plugins\" followed by its file name.
std::string PluginSection(std::string_view pluginFile);

inline constexpr std::string_view kKeyComPort = "comPort";
inline constexpr std::string_view kKeyDeviceType = "DeviceType";
// The network output's keys, in the same section.
inline constexpr std::string_view kKeyNetOutput = "NetOutput";
inline constexpr std::string_view kKeyNetAddress = "NetAddress";
inline constexpr std::string_view kKeyNetUniverse = "NetUniverse";
inline constexpr std::string_view kKeyNetSourceCID = "NetSourceCID";

}  // namespace lumivane
