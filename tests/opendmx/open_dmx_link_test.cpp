// SPDX-License-Identifier: MIT
// Opening, configuring, closing and staging, against the scripted D2XX.
#include "opendmx/open_dmx_link.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "opendmx/d2xx_fake.h"
#include "posix/clock_posix.h"
#include "tests/support/recording_reports.h"

namespace lumivane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using K = D2xxCallKind;

constexpr char kCloseFailed[] = "Close Enttec Open DMX USB Failed";

// A call as the tests state it: kind, handle, numeric arguments.
struct Expected {
  K kind;
  FT_HANDLE handle;
  std::vector<uint32_t> arguments;
};

// The eight calls of a clean start on the given handle.
std::vector<Expected> CleanStart(FT_HANDLE h) {
  return {{K::kOpen, h, {0}},
          {K::kResetDevice, h, {}},
          {K::kSetDivisor, h, {12}},
          {K::kSetDataCharacteristics, h, {8, 2, 0}},
          {K::kSetFlowControl, h, {0, 0, 0}},
          {K::kClrRts, h, {}},
          {K::kPurge, h, {2}},
          {K::kPurge, h, {1}}};
}

std::string Describe(const std::vector<Expected>& calls) {
  std::string text;
  for (const auto& call : calls) {
    text += std::string(D2xxCallName(call.kind)) + "(" + std::to_string(call.handle);
    for (uint32_t argument : call.arguments) text += ", " + std::to_string(argument);
    text += ") ";
  }
  return text;
}

std::vector<Expected> Observed(const D2xxFake& fake) {
  std::vector<Expected> calls;
  for (const auto& call : fake.Calls()) calls.push_back({call.kind, call.handle, call.arguments});
  return calls;
}

class OpenDmxLinkTest : public ::testing::Test {
 protected:
  void ExpectCalls(const std::vector<Expected>& expected) {
    EXPECT_EQ(Describe(Observed(fake_)), Describe(expected));
  }

  D2xxFake fake_;
  test::RecordingReports reports_;
  PosixClock clock_;
  OpenDmxUsbLink link_{fake_, reports_, clock_};
};

TEST_F(OpenDmxLinkTest, NoDeviceCallsOnlyOpenAndSaysSo) {
  fake_.FailCall(K::kOpen, 1, FT_DEVICE_NOT_FOUND);
  link_.StartOpenDmx();
  ExpectCalls({{K::kOpen, 0, {0}}});
  EXPECT_THAT(reports_.messages, ElementsAre("Failed to open Enttec Open DMX USB device!"));
  EXPECT_FALSE(link_.openDmxOpen());
}

TEST_F(OpenDmxLinkTest, CleanStartConfiguresTheLineForDmx) {
  link_.StartOpenDmx();
  ExpectCalls(CleanStart(1));
  EXPECT_THAT(reports_.messages, IsEmpty());
  EXPECT_TRUE(link_.openDmxOpen());
  EXPECT_EQ(link_.openDmxHandle(), 1u);
  EXPECT_EQ(link_.openDmxFrame(), std::string(512, ' '));
}

TEST_F(OpenDmxLinkTest, StopClosesOnceAndASecondStopDoesNothing) {
  link_.StartOpenDmx();
  fake_.ClearCalls();
  link_.StopOpenDmx();
  link_.StopOpenDmx();
  ExpectCalls({{K::kClose, 1, {}}});
  EXPECT_THAT(reports_.messages, IsEmpty());
  EXPECT_FALSE(link_.openDmxOpen());
}

TEST_F(OpenDmxLinkTest, FailedCloseIsShownAndTheLinkStillEndsClosed) {
  fake_.FailCall(K::kClose);
  link_.StartOpenDmx();
  link_.StopOpenDmx();
  link_.StopOpenDmx();
  EXPECT_THAT(reports_.messages, ElementsAre(kCloseFailed));
  EXPECT_FALSE(link_.openDmxOpen());
  EXPECT_EQ(fake_.CountOf(K::kClose), 1u);
}

TEST_F(OpenDmxLinkTest, StartWhileOpenClosesTheFirstHandleBeforeOpeningAgain) {
  link_.StartOpenDmx();
  link_.StartOpenDmx();
  auto expected = CleanStart(1);
  expected.push_back({K::kClose, 1, {}});
  for (const auto& call : CleanStart(2)) expected.push_back(call);
  ExpectCalls(expected);
  EXPECT_THAT(reports_.messages, IsEmpty());
  EXPECT_EQ(link_.openDmxHandle(), 2u);

  fake_.ClearCalls();
  link_.StopOpenDmx();
  ExpectCalls({{K::kClose, 2, {}}});
}

TEST_F(OpenDmxLinkTest, StartWhileOpenShowsAFailedCloseAndStillStarts) {
  fake_.FailCall(K::kClose, 1);
  link_.StartOpenDmx();
  link_.StartOpenDmx();
  EXPECT_THAT(reports_.messages, ElementsAre(kCloseFailed));
  EXPECT_TRUE(link_.openDmxOpen());
  EXPECT_EQ(link_.openDmxHandle(), 2u);
}

TEST_F(OpenDmxLinkTest, StagingWhileClosedChangesTheFrameOnly) {
  Universe universe;
  universe[1] = 0;
  universe[5] = 200;
  universe[512] = 255;
  link_.StageOpenDmxFrame(universe);
  EXPECT_EQ(fake_.CallCount(), 0u);
  const std::string& frame = link_.openDmxFrame();
  ASSERT_EQ(frame.size(), 512u);
  EXPECT_EQ(frame[0], '\0');
  EXPECT_EQ(static_cast<uint8_t>(frame[4]), 200);
  EXPECT_EQ(static_cast<uint8_t>(frame[511]), 255);
  EXPECT_EQ(frame.find_first_not_of('\0', 5), 511u);
}

TEST_F(OpenDmxLinkTest, StartResetsAStagedFrameToSpaces) {
  Universe universe;
  universe[3] = 7;
  link_.StageOpenDmxFrame(universe);
  link_.StartOpenDmx();
  EXPECT_EQ(link_.openDmxFrame(), std::string(512, ' '));
}

// One setup step failing: its message, then the close of the handle; a
// close that fails as well adds its own message.
struct StepFailure {
  K kind;
  int nth;  // which call of that kind
  const char* message;
  size_t callsBefore;  // setup calls made up to and including the failing one
};

class SetupStepFails : public OpenDmxLinkTest,
                       public ::testing::WithParamInterface<std::tuple<StepFailure, bool>> {};

TEST_P(SetupStepFails, ShowsItsMessageThenCloses) {
  const auto& [step, closeFails] = GetParam();
  fake_.FailCall(step.kind, step.nth);
  if (closeFails) fake_.FailCall(K::kClose);
  link_.StartOpenDmx();

  auto expected = CleanStart(1);
  expected.resize(step.callsBefore);
  expected.push_back({K::kClose, 1, {}});
  ExpectCalls(expected);
  if (closeFails) {
    EXPECT_THAT(reports_.messages, ElementsAre(step.message, kCloseFailed));
  } else {
    EXPECT_THAT(reports_.messages, ElementsAre(step.message));
  }
  EXPECT_FALSE(link_.openDmxOpen());
}

std::string StepFailureName(const ::testing::TestParamInfo<std::tuple<StepFailure, bool>>& p) {
  const auto& [step, closeFails] = p.param;
  return std::string(D2xxCallName(step.kind).substr(3)) + std::to_string(step.nth) +
         (closeFails ? "_CloseFails" : "");
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, SetupStepFails,
    ::testing::Combine(
        ::testing::Values(
            StepFailure{K::kResetDevice, 1, "Failed To Reset Enttec Open DMX USB Device!", 2},
            StepFailure{K::kSetDivisor, 1, "Failed To Set Baud Rate!", 3},
            StepFailure{K::kSetDataCharacteristics, 1, "Failed To Set Data Characteristics!", 4},
            StepFailure{K::kSetFlowControl, 1, "Failed to set flow control!", 5},
            StepFailure{K::kClrRts, 1, "Failed to set RS485 to send!", 6},
            StepFailure{K::kPurge, 1, "Failed to purge TX buffer!", 7},
            StepFailure{K::kPurge, 2, "Failed to purge RX buffer!", 8}),
        ::testing::Bool()),
    StepFailureName);

}  // namespace
}  // namespace lumivane
