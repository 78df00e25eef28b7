// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/widget_display.h"

namespace lumivane {

// The controls of the device dialog that its handlers read and write. The
// list (devList) and the two labels (lblinfo, lblResult) come from
// WidgetDisplay, as the port scan and the reply parser use them too. The
// two option buttons form one group: exactly one is selected.
class DeviceView : public WidgetDisplay {
 public:
  // txtCommPort
  virtual void SetPortText(std::string_view text) = 0;
  virtual std::string PortText() const = 0;
  // optDMXUSBpro and optOpenDMXUSB
  virtual void SelectProWidget() = 0;
  virtual bool ProWidgetSelected() const = 0;
  virtual bool OpenDmxSelected() const = 0;

  // chkArtNet and the controls of the network output's own small window.
  struct NetworkFields {
    bool enabled = false;  // chkArtNet
    bool sacn = false;     // optSacn; otherwise optArtNet
    std::string address;   // txtNetAddress
    std::string universe;  // txtNetUniverse
    bool operator==(const NetworkFields&) const = default;
  };
  virtual void SetNetworkFields(const NetworkFields& fields) = 0;
  virtual NetworkFields TypedNetworkFields() const = 0;
  // lstNodes: each search replaces the entries; -1 when none is selected.
  virtual void SetNodeEntries(const std::vector<std::string>& entries) = 0;
  virtual int SelectedNodeEntry() const = 0;
};

}  // namespace lumivane
