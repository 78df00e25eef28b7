// SPDX-License-Identifier: MIT
// Without a display, Configure fails cleanly and changes nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "plugin/output_driver.h"
#include "tests/ui/dialog_fakes.h"
#include "ui/device_dialog_fltk.h"
#include "ui/user_reports_fltk.h"

namespace lumivane {
namespace {

class NoTransmitter final : public TransmitterWindow {
 public:
  void Load() override {}
};

TEST(DeviceDialogWithoutDisplay, ConfigureFailsWith9200AndNothingElseChanges) {
  unsetenv("DISPLAY");
  DriverState state;
  state.deviceType = "DMXUSBpro";
  state.comPort = 3;
  uitest::CallLog log;
  uitest::RecordingSettings settings{log};
  uitest::RecordingProLink pro{log};
  uitest::RecordingOpenDmxLink openDmx{log};
  uitest::RecordingReports fallback;
  ToolkitUserReports reports{fallback};
  uitest::ScriptedProbes probes{log};
  DeviceRouting routing{state, pro, openDmx};
  FltkDeviceDialog dialog{{state, settings, routing, probes, reports}};
  NoTransmitter transmitter;
  Plugin plugin{state, settings, transmitter, pro, routing, dialog};
  clsOutputDriver driver{plugin};

  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      driver.Configure();
      FAIL() << "Configure must fail without a display";
    } catch (const Failure& failure) {
      EXPECT_EQ(failure.number(), 9200);
      EXPECT_EQ(failure.description(), "No display is available to show the dialog");
    }
  }
  EXPECT_FALSE(dialog.IsLoaded());
  dialog.PumpEvents(10);                   // harmless
  EXPECT_THAT(log, ::testing::IsEmpty());  // the interface was not closed
  EXPECT_EQ(state.deviceType, "DMXUSBpro");

  // Message boxes fall back to standard error.
  reports.ShowMessage("Nothing Recieved");
  EXPECT_THAT(fallback.messages, ::testing::ElementsAre("Nothing Recieved"));
}

}  // namespace
}  // namespace lumivane
