// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

#include "core/output_driver.h"
#include "core/widget_display.h"

namespace lumivane {

// The one loaded plug-in behind the C boundary: it owns the shared state
// and the real services and wires them together. Created on first use,
// destroyed when the plug-in file is unloaded.
class PluginInstance {
 public:
  static PluginInstance& Get();
  virtual ~PluginInstance() = default;
  virtual Plugin& plugin() = 0;

  // The widget finder for set-up tools: the dialog's scan and Test on the
  // plug-in's own serial component, link, parser and message boxes.
  virtual void ScanProPorts(WidgetDisplay& display) = 0;
  virtual void TestProPort(int16_t comPort, WidgetDisplay& display) = 0;
};

}  // namespace lumivane
