// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "core/host_object.h"
#include "core/network_output.h"
#include "core/universe.h"

namespace lumivane {

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
  NetworkSettings network;                   // sent beside the selected interface
};

inline constexpr const char* kDeviceProWidget = "DMXUSBpro";
inline constexpr const char* kDeviceOpenDmx = "OpenDMXUSB";

}  // namespace lumivane
