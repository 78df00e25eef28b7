// SPDX-License-Identifier: MIT
#pragma once

#include "core/driver_state.h"
#include "core/interface_links.h"

namespace lumivane {

// Open, close and send, handed to the link that deviceType names exactly
// (whole text, case-sensitive): "OpenDMXUSB" first, then "DMXUSBpro". Any
// other text reaches no link. Failures of a link pass through unchanged.
class DeviceRouting {
 public:
  DeviceRouting(DriverState& state, ProLink& pro, OpenDmxLink& openDmx)
      : state_(state), pro_(pro), openDmx_(openDmx) {}

  // Opens the selected interface, then clears the universe (only when the
  // open step did not fail). Sends nothing.
  void OpenDevice();
  void CloseDevice();
  void SendUniverse();

 private:
  enum class Target { kOpenDmx, kProWidget, kNone };
  Target Selected() const;

  DriverState& state_;
  ProLink& pro_;
  OpenDmxLink& openDmx_;
};

}  // namespace lumivane
