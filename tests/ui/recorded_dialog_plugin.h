// SPDX-License-Identifier: MIT
// A plug-in whose dialog is the real toolkit one and whose other services
// record what they were asked.
#pragma once

#include "core/device_routing.h"
#include "core/output_driver.h"
#include "tests/ui/dialog_fakes.h"
#include "ui/device_dialog_fltk.h"
#include "ui/user_reports_fltk.h"

namespace lumivane::uitest {

class NoTransmitter final : public TransmitterWindow {
 public:
  void Load() override {}
};

struct RecordedDialogPlugin {
  DriverState state;
  CallLog log;
  RecordingSettings settings{log};
  RecordingProLink pro{log};
  RecordingOpenDmxLink openDmx{log};
  RecordingReports fallbackReports;  // where boxes go without a display
  ToolkitUserReports reports{fallbackReports};
  ScriptedProbes probes{log};
  DeviceRouting routing{state, pro, openDmx};
  FltkDeviceDialog dialog{{state, settings, routing, probes, reports}};
  NoTransmitter transmitter;
  Plugin plugin{state, settings, transmitter, pro, routing, dialog};
  clsOutputDriver driver{plugin};
};

}  // namespace lumivane::uitest
