// SPDX-License-Identifier: MIT
// A whole Plugin over fresh state and fakes, wired as the composition root
// wires the real one. `log` receives every fake's calls in order.
#pragma once

#include "core/output_driver.h"
#include "tests/support/fake_links.h"
#include "tests/support/fake_settings_store.h"
#include "tests/support/fake_windows.h"

namespace lumivane::test {

struct TestPlugin {
  CallLog log;
  DriverState state;
  FakeSettingsStore settings{&log};
  FakeTransmitter transmitter{&log};
  FakeProLink pro{&state, &log};
  FakeOpenDmxLink openDmx{&log};
  FakeDialog dialog{&log};
  DeviceRouting routing{state, pro, openDmx};
  Plugin plugin{state, settings, transmitter, pro, routing, dialog};

  TestPlugin() = default;
  TestPlugin(const TestPlugin&) = delete;
  TestPlugin& operator=(const TestPlugin&) = delete;
};

}  // namespace lumivane::test
