// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "core/output_driver.h"

namespace lumivane {

// The loaded DLL's plug-in: the shared state and the Windows services,
// wired together. Made when the first object is created and destroyed when
// COM asks whether the DLL may unload and nothing holds it any more, which
// stops the Open DMX transmitter and closes every device. Never destroyed
// inside DllMain.
class WindowsPlugin {
 public:
  static std::unique_ptr<WindowsPlugin> Create();
  virtual ~WindowsPlugin() = default;
  virtual Plugin& plugin() = 0;
};

}  // namespace lumivane
