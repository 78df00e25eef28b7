// SPDX-License-Identifier: MIT
#pragma once

#include <memory>

#include "core/driver_windows.h"
#include "ui/device_form.h"

namespace lumivane {

// The device dialog as a native modeless window on the host's thread, run
// by the host's own message loop.
class Win32DeviceDialog final : public DeviceDialog {
 public:
  explicit Win32DeviceDialog(DeviceFormServices services);
  ~Win32DeviceDialog() override;
  Win32DeviceDialog(const Win32DeviceDialog&) = delete;
  Win32DeviceDialog& operator=(const Win32DeviceDialog&) = delete;

  void Show() override;
  bool IsLoaded() const override;
  // The host's loop dispatches our messages: nothing to pump.
  void PumpEvents(int) override {}

  class Window;

 private:
  DeviceFormServices services_;
  std::unique_ptr<Window> window_;
};

}  // namespace lumivane
