// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>

#include "opendmx/d2xx.h"

namespace lumivane {

// The D2XX calls in FTD2XX.DLL, loaded at the first FT_Open from the system
// folder or the folder of the module that contains this code, never from
// the current directory or the PATH. A missing file or function makes
// FT_Open fail with FT_DEVICE_NOT_FOUND; loadFailure() then names it, and
// so does the debugger output.
// The file stays loaded until the adaptor is destroyed. Thread-safe.
class Win32D2xx : public D2xx {
 public:
  virtual std::string loadFailure() const = 0;
};

std::unique_ptr<Win32D2xx> CreateWin32D2xx();

}  // namespace lumivane
