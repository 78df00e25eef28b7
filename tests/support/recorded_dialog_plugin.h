// SPDX-License-Identifier: MIT
// A plug-in whose dialog is the real toolkit one and whose other services
// record what they were asked, all in `log`.
#pragma once

#include "core/device_routing.h"
#include "core/output_driver.h"
#include "tests/support/fake_links.h"
#include "tests/support/fake_probes.h"
#include "tests/support/fake_settings_store.h"
#include "tests/support/fake_windows.h"
#include "tests/support/recording_reports.h"
#include "ui/device_dialog_fltk.h"
#include "ui/user_reports_fltk.h"

namespace lumivane::test {

struct RecordedDialogPlugin {
  DriverState state;
  CallLog log;
  FakeSettingsStore settings{&log};
  FakeProLink pro{&state, &log};
  FakeOpenDmxLink openDmx{&log};
  RecordingReports fallbackReports;  // where boxes go without a display
  ToolkitUserReports reports{fallbackReports};
  ScriptedProbes probes{&log};
  DeviceRouting routing{state, pro, openDmx};
  FltkDeviceDialog dialog{{state, settings, routing, probes, reports}};
  FakeTransmitter transmitter;
  Plugin plugin{state, settings, transmitter, pro, routing, dialog};
  clsOutputDriver driver{plugin};
};

}  // namespace lumivane::test
