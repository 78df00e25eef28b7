// SPDX-License-Identifier: MIT
#pragma once

#include "core/driver_state.h"
#include "core/interface_links.h"
#include "core/network_output.h"

namespace lumivane {

// Open, close and send, handed to the link that deviceType names exactly
// (whole text, case-sensitive): "OpenDMXUSB" first, then "DMXUSBpro". Any
// other text reaches no link. Failures of a link pass through unchanged.
//
// The network output, where there is one, runs beside the selected link
// whatever deviceType says: each step reaches it first, so a link's failure
// never keeps it from its step. With the output off it is only told to stop
// and never sent anything.
class DeviceRouting {
 public:
  DeviceRouting(DriverState& state, ProLink& pro, OpenDmxLink& openDmx,
                NetworkLink* network = nullptr)
      : state_(state), pro_(pro), openDmx_(openDmx), network_(network) {}

  // Opens the selected interface, then clears the universe (only when the
  // open step did not fail). Sends nothing.
  void OpenDevice();
  void CloseDevice();
  void SendUniverse();

 private:
  enum class Target { kOpenDmx, kProWidget, kNone };
  Target Selected() const;
  bool NetworkSends() const;

  DriverState& state_;
  ProLink& pro_;
  OpenDmxLink& openDmx_;
  NetworkLink* network_;
};

}  // namespace lumivane
