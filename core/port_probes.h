// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "core/widget_display.h"

namespace lumivane {

// The two widget probes the dialog runs. Both show what they find on the
// display they are given and report their own failures; neither throws.
class ProPortProbes {
 public:
  virtual ~ProPortProbes() = default;
  // Probes ports 1..16 and appends what answered to the list.
  virtual void ScanProPorts(WidgetDisplay& display) = 0;
  // Asks the widget on comPort (or on whatever port is already open) for
  // its serial number and shows the outcome in the result line.
  virtual void TestProPort(int16_t comPort, WidgetDisplay& display) = 0;
};

}  // namespace lumivane
