// SPDX-License-Identifier: MIT
// The libftdi adaptor where there is no Open DMX USB attached.
#include "opendmx/d2xx_libftdi.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "opendmx/open_dmx_link.h"
#include "posix/clock_posix.h"
#include "tests/support/recording_reports.h"

namespace lumivane {
namespace {

using ::testing::ElementsAre;

class LibftdiWithoutDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    FT_HANDLE handle = 0;
    if (d2xx_->FT_Open(0, &handle) == FT_OK) {
      d2xx_->FT_Close(handle);
      GTEST_SKIP() << "an FTDI 0403:6001 device is attached";
    }
  }

  std::unique_ptr<D2xx> d2xx_ = CreateLibftdiD2xx();
};

TEST_F(LibftdiWithoutDevice, StartFailsCleanlyWithTheOpenMessage) {
  test::RecordingReports reports;
  PosixClock clock;
  OpenDmxUsbLink link(*d2xx_, reports, clock);
  link.StartOpenDmx();
  EXPECT_THAT(reports.messages, ElementsAre("Failed to open Enttec Open DMX USB device!"));
  EXPECT_FALSE(link.openDmxOpen());
  link.StopOpenDmx();
  EXPECT_EQ(reports.messages.size(), 1u);
}

TEST_F(LibftdiWithoutDevice, CallsOnAHandleItNeverGaveOutFailWithoutTouchingUsb) {
  const FT_HANDLE stranger = 1;
  uint8_t byte = 0;
  uint32_t written = 99;
  EXPECT_EQ(d2xx_->FT_ResetDevice(stranger), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx_->FT_SetDivisor(stranger, 12), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx_->FT_SetDataCharacteristics(stranger, 8, 2, 0), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx_->FT_SetFlowControl(stranger, 0, 0, 0), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx_->FT_ClrRts(stranger), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx_->FT_Purge(stranger, FT_PURGE_TX), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx_->FT_Write(stranger, &byte, 1, &written), FT_INVALID_HANDLE);
  EXPECT_EQ(written, 0u);
  EXPECT_EQ(d2xx_->FT_SetBreakOn(stranger), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx_->FT_SetBreakOff(stranger), FT_INVALID_HANDLE);
  EXPECT_EQ(d2xx_->FT_Close(stranger), FT_INVALID_HANDLE);
}

TEST_F(LibftdiWithoutDevice, ArgumentsD2xxRejectsAreRejectedBeforeAnyLookup) {
  FT_HANDLE handle = 0;
  uint32_t written = 0;
  EXPECT_EQ(d2xx_->FT_Open(-1, &handle), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx_->FT_Open(0, nullptr), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx_->FT_SetDivisor(1, 0), FT_INVALID_BAUD_RATE);
  EXPECT_EQ(d2xx_->FT_SetDataCharacteristics(1, 9, 2, 0), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx_->FT_SetDataCharacteristics(1, 8, 3, 0), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx_->FT_SetDataCharacteristics(1, 8, 2, 5), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx_->FT_Purge(1, 0), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx_->FT_Purge(1, 4), FT_INVALID_PARAMETER);
  EXPECT_EQ(d2xx_->FT_Write(1, nullptr, 5, &written), FT_INVALID_PARAMETER);
  EXPECT_EQ(handle, 0u);
}

}  // namespace
}  // namespace lumivane
