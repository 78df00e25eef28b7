// SPDX-License-Identifier: MIT
#pragma once

#include "core/network_output.h"
#include "core/output_driver.h"
#include "core/port_probes.h"

namespace lumivane {

// The one loaded plug-in behind the C boundary: it owns the shared state
// and the real services and wires them together. Created on first use,
// destroyed when the plug-in file is unloaded.
class PluginInstance {
 public:
  static PluginInstance& Get();
  virtual ~PluginInstance() = default;
  virtual Plugin& plugin() = 0;

  // The widget probes the dialog uses, for set-up tools: the scan and Test
  // on the plug-in's own serial component, link, parser and message boxes.
  virtual ProPortProbes& probes() = 0;
  // "Find nodes" as the dialog runs it, for set-up tools.
  virtual NodeFinder& nodeFinder() = 0;
};

}  // namespace lumivane
