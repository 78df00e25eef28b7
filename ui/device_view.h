// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

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
};

}  // namespace lumivane
