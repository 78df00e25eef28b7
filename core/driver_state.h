// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/host_object.h"

namespace lumivane {

inline constexpr int kChannelCount = 512;

// The universe: dmxData[n] is the level of DMX channel n, n in 1..512.
// Stored contiguously so a frame can copy it in one go.
class Universe {
 public:
  uint8_t& operator[](int channel) { return levels_[channel - 1]; }
  uint8_t operator[](int channel) const { return levels_[channel - 1]; }
  std::span<const uint8_t, kChannelCount> levels() const { return levels_; }
  void Clear() { levels_.fill(0); }

 private:
  std::array<uint8_t, kChannelCount> levels_{};
};

// The highest channel SetChannel accepts: the upper index of the channel
// table the data model declares, which holds nothing else.
inline constexpr int kHighestChannel = kChannelCount;

// The plug-in's shared state: one set for the loaded plug-in, reached by
// every output-driver object, the routing, the links and the dialog. Every
// item starts at its initial value; tests build their own.
// Touched only on the host's thread.
struct DriverState {
  Universe dmxData;
  std::string deviceType;  // "DMXUSBpro", "OpenDMXUSB", or anything (selects none)
  int16_t comPort = 0;
  std::string appTitle;
  std::string pluginFile;
  std::unique_ptr<HostObject> pluginHelper;  // held, never called
  bool outputEnabled = false;                // read by nothing
};

inline constexpr const char* kDeviceProWidget = "DMXUSBpro";
inline constexpr const char* kDeviceOpenDmx = "OpenDMXUSB";

}  // namespace lumivane
