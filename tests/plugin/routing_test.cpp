// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <tuple>

#include "tests/support/case_names.h"
#include "tests/support/expect_failure.h"
#include "tests/support/test_plugin.h"

namespace lumivane::test {
namespace {

using lumivane::test::PrintTo;

enum class Link { kPro, kOpenDmx, kNone };

struct RoutingCase {
  const char* name;
  const char* deviceType;
  Link link;
};

// Exact, case-sensitive, untrimmed: anything but the two texts is no device.
const RoutingCase kRoutingCases[] = {
    {"Widget", "DMXUSBpro", Link::kPro},
    {"OpenDmx", "OpenDMXUSB", Link::kOpenDmx},
    {"Empty", "", Link::kNone},
    {"WidgetLowerCase", "dmxusbpro", Link::kNone},
    {"WidgetUpperCase", "DMXUSBPRO", Link::kNone},
    {"WidgetLeadingBlank", " DMXUSBpro", Link::kNone},
    {"WidgetTrailingBlank", "DMXUSBpro ", Link::kNone},
    {"WidgetTrailingNewline", "DMXUSBpro\n", Link::kNone},
    {"OpenDmxLowerFirst", "openDMXUSB", Link::kNone},
    {"OpenDmxTrailingBlank", "OpenDMXUSB ", Link::kNone},
    {"Prefix", "DMXUSB", Link::kNone},
    {"Both", "OpenDMXUSBDMXUSBpro", Link::kNone},
};

struct Operation {
  const char* name;
  void (DeviceRouting::*run)();
  const char* proCall;
  const char* openDmxCall;
};

const Operation kOperations[] = {
    {"OpenDevice", &DeviceRouting::OpenDevice, "OpenProPort", "StartOpenDmx"},
    {"CloseDevice", &DeviceRouting::CloseDevice, "CloseProPort", "StopOpenDmx"},
    {"SendUniverse", &DeviceRouting::SendUniverse, "SendProUniverse", "StageOpenDmxFrame"},
};

class Routing : public ::testing::TestWithParam<std::tuple<Operation, RoutingCase>> {
 protected:
  TestPlugin t;
};

TEST_P(Routing, ReachesTheLinkNamedExactly) {
  const auto& [operation, c] = GetParam();
  t.state.deviceType = c.deviceType;

  (t.routing.*operation.run)();

  CallLog expected;
  if (c.link == Link::kPro) expected = {operation.proCall};
  if (c.link == Link::kOpenDmx) expected = {operation.openDmxCall};
  EXPECT_EQ(t.log, expected);
}

INSTANTIATE_TEST_SUITE_P(AllTexts, Routing,
                         ::testing::Combine(::testing::ValuesIn(kOperations),
                                            ::testing::ValuesIn(kRoutingCases)),
                         [](const ::testing::TestParamInfo<Routing::ParamType>& param) {
                           return std::string(std::get<0>(param.param).name) + "_" +
                                  std::get<1>(param.param).name;
                         });

class OpenDevice : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    t.state.deviceType = GetParam();
    for (int n = 1; n <= kChannelCount; ++n) t.state.dmxData[n] = static_cast<uint8_t>(n);
  }
  bool AllZero() const {
    for (int n = 1; n <= kChannelCount; ++n) {
      if (t.state.dmxData[n] != 0) return false;
    }
    return true;
  }
  TestPlugin t;
};

TEST_P(OpenDevice, ClearsTheUniverseAfterTheOpenAndSendsNothing) {
  t.routing.OpenDevice();
  EXPECT_TRUE(AllZero());
  EXPECT_EQ(t.pro.pushes() + t.openDmx.pushes(), 0);
}

TEST_P(OpenDevice, CloseLeavesTheUniverse) {
  t.routing.CloseDevice();
  EXPECT_EQ(t.state.dmxData[300], static_cast<uint8_t>(300));
}

std::string DeviceName(const ::testing::TestParamInfo<const char*>& param) {
  return *param.param != '\0' ? std::string(param.param) : std::string("None");
}

INSTANTIATE_TEST_SUITE_P(EachDevice, OpenDevice,
                         ::testing::Values(kDeviceProWidget, kDeviceOpenDmx, ""), DeviceName);

using FailingOpen = OpenDevice;

TEST_P(FailingOpen, KeepsTheUniverse) {
  const Failure failure(ErrorNumber::kPortBusy);
  t.pro.FailOn("OpenProPort", failure);
  t.openDmx.FailOn("StartOpenDmx", failure);

  EXPECT_FAILURE(t.routing.OpenDevice(), 8010) << "the open step's failure must pass through";
  EXPECT_EQ(t.state.dmxData[1], 1);
  EXPECT_EQ(t.state.dmxData[511], 255);
}

INSTANTIATE_TEST_SUITE_P(EachDevice, FailingOpen,
                         ::testing::Values(kDeviceProWidget, kDeviceOpenDmx), DeviceName);

TEST(SendUniverse, OpenDmxFailurePassesThrough) {
  TestPlugin t;
  t.state.deviceType = kDeviceOpenDmx;
  t.openDmx.FailOn("StageOpenDmxFrame", Failure(ErrorNumber::kInternal, "staging"));
  EXPECT_THROW(t.routing.SendUniverse(), Failure);
}

}  // namespace
}  // namespace lumivane::test
