// SPDX-License-Identifier: MIT
#pragma once

namespace lumivane {

// The hidden transmitter window that carries the serial-port component.
// Load creates it on first use; loading it again does nothing.
class TransmitterWindow {
 public:
  virtual ~TransmitterWindow() = default;
  virtual void Load() = 0;
};

// The device selection dialog, shown modeless. Show loads it first (running
// its load step) unless it is already loaded, in which case it only comes
// forward. Throws Failure when it cannot be shown.
class DeviceDialog {
 public:
  virtual ~DeviceDialog() = default;
  virtual void Show() = 0;
  // True while the dialog is loaded; used by the event pump.
  virtual bool IsLoaded() const = 0;
  // Dispatch pending window events, waiting up to wait_ms for one.
  virtual void PumpEvents(int wait_ms) = 0;
};

}  // namespace lumivane
