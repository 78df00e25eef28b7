// SPDX-License-Identifier: MIT
// Fakes of the hidden transmitter window and the device dialog.
#pragma once

#include "core/driver_windows.h"
#include "tests/support/call_log.h"

namespace lumivane::test {

class FakeTransmitter final : public TransmitterWindow, public ScriptedFake {
 public:
  explicit FakeTransmitter(CallLog* log = nullptr) : ScriptedFake(log) {}
  void Load() override {
    Record("LoadTransmitter");
    loaded = true;
  }
  bool loaded = false;
};

class FakeDialog final : public DeviceDialog, public ScriptedFake {
 public:
  explicit FakeDialog(CallLog* log = nullptr) : ScriptedFake(log) {}
  void Show() override {
    Record("ShowDialog");
    loaded = true;
  }
  bool IsLoaded() const override { return loaded; }
  void PumpEvents(int) override { Record("PumpEvents"); }
  bool loaded = false;
};

}  // namespace lumivane::test
