// SPDX-License-Identifier: MIT
#pragma once

#include "plugin/output_driver.h"

namespace lumivane {

// The one loaded plug-in behind the C boundary: it owns the shared state
// and the real services and wires them together. Created on first use,
// destroyed when the plug-in file is unloaded.
class PluginInstance {
 public:
  static PluginInstance& Get();
  virtual ~PluginInstance() = default;
  virtual Plugin& plugin() = 0;
};

}  // namespace lumivane
