// SPDX-License-Identifier: MIT
// Without a display, Configure fails cleanly and changes nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/expect_failure.h"
#include "tests/support/recorded_dialog_plugin.h"

namespace lumivane {
namespace {

TEST(DeviceDialogWithoutDisplay, ConfigureFailsWith9200AndNothingElseChanges) {
  unsetenv("DISPLAY");
  test::RecordedDialogPlugin p;
  p.state.deviceType = "DMXUSBpro";
  p.state.comPort = 3;

  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_FAILURE(p.driver.Configure(), 9200, "No display is available to show the dialog")
        << "Configure must fail without a display";
  }
  EXPECT_FALSE(p.dialog.IsLoaded());
  p.dialog.PumpEvents(10);                   // harmless
  EXPECT_THAT(p.log, ::testing::IsEmpty());  // the interface was not closed
  EXPECT_EQ(p.state.deviceType, "DMXUSBpro");

  // Message boxes fall back to standard error.
  p.reports.ShowMessage("Nothing Recieved");
  EXPECT_THAT(p.fallbackReports.messages, ::testing::ElementsAre("Nothing Recieved"));
}

}  // namespace
}  // namespace lumivane
