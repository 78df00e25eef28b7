// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "tests/support/case_names.h"
#include "tests/support/driver_caller.h"
#include "tests/support/fake_helper.h"
#include "tests/support/test_plugin.h"

namespace lumivane::test {
namespace {

using lumivane::test::PrintTo;

constexpr const char* kTitle = "Show Host";
constexpr const char* kFile = "liblumivane.so";
constexpr int16_t kPreviousPort = 42;
constexpr const char* kPreviousDevice = "previous";
constexpr uint8_t kLevelBefore = 7;

class InitFixture {
 protected:
  InitFixture() {
    t.state.comPort = kPreviousPort;
    t.state.deviceType = kPreviousDevice;
    for (int n = 1; n <= kChannelCount; ++n) t.state.dmxData[n] = kLevelBefore;
    t.settings.Put(kTitle, kFile, "DeviceType", kDeviceProWidget);
  }
  bool UniverseCleared() const {
    for (int n = 1; n <= kChannelCount; ++n) {
      if (t.state.dmxData[n] != 0) return false;
    }
    return true;
  }
  bool UniverseUntouched() const {
    for (int n = 1; n <= kChannelCount; ++n) {
      if (t.state.dmxData[n] != kLevelBefore) return false;
    }
    return true;
  }
  // Declared before the plug-in, so they outlive the references it holds.
  CallLog references;
  FakeHelper first{"first", &references};
  FakeHelper second{"second", &references};
  TestPlugin t;
};

struct ComPortCase {
  const char* name;
  std::optional<const char*> stored;  // nullopt: no "comPort" key at all
  int32_t status;
  int16_t comPort;  // after the call
};

const ComPortCase kComPortCases[] = {
    {"Missing", std::nullopt, 0, 0},
    {"Empty", "", 0, 0},
    {"BlanksAround", " 7 ", 0, 7},
    {"HalfRoundsDownToEven", "2.5", 0, 2},
    {"HalfRoundsUpToEven", "3.5", 0, 4},
    {"NegativeHalf", "-2.5", 0, -2},
    {"Largest", "32767", 0, 32767},
    {"Smallest", "-32768", 0, -32768},
    {"PortName", "COM3", 13, kPreviousPort},
    {"Word", "abc", 13, kPreviousPort},
    {"BlanksOnly", "   ", 13, kPreviousPort},
    {"OneAboveLargest", "32768", 6, kPreviousPort},
    {"OneBelowSmallest", "-32769", 6, kPreviousPort},
};

class InitComPort : public InitFixture,
                    public ::testing::TestWithParam<std::tuple<CallerKind, ComPortCase>> {};

TEST_P(InitComPort, ConvertsOrStopsBeforeTheDeviceType) {
  const auto& [kind, c] = GetParam();
  if (c.stored) t.settings.Put(kTitle, kFile, "comPort", *c.stored);
  auto driver = MakeDriverCaller(kind, t.plugin);

  const Outcome outcome = driver->Init(kTitle, kFile, nullptr);

  EXPECT_EQ(outcome.status, c.status);
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(t.state.comPort, c.comPort);
  EXPECT_EQ(t.state.appTitle, kTitle);
  EXPECT_EQ(t.state.pluginFile, kFile);
  if (c.status == 0) {
    EXPECT_EQ(t.state.deviceType, kDeviceProWidget);
    EXPECT_EQ(t.log,
              (CallLog{"LoadTransmitter", "Read comPort", "Read DeviceType", "OpenProPort"}));
    EXPECT_TRUE(UniverseCleared());
  } else {
    EXPECT_EQ(t.state.deviceType, kPreviousDevice);
    EXPECT_EQ(t.log, (CallLog{"LoadTransmitter", "Read comPort"}));
    EXPECT_TRUE(UniverseUntouched());
    EXPECT_EQ(outcome.description, DescribeError(static_cast<ErrorNumber>(c.status)));
  }
}

INSTANTIATE_TEST_SUITE_P(AllCallers, InitComPort,
                         ::testing::Combine(::testing::ValuesIn(kAllCallers),
                                            ::testing::ValuesIn(kComPortCases)),
                         [](const ::testing::TestParamInfo<InitComPort::ParamType>& param) {
                           return std::string(KindName(std::get<0>(param.param))) + "_" +
                                  std::get<1>(param.param).name;
                         });

class Init : public InitFixture, public ::testing::TestWithParam<CallerKind> {
 protected:
  std::unique_ptr<DriverCaller> driver = MakeDriverCaller(GetParam(), t.plugin);
};

TEST_P(Init, ReadsUnderItsOwnTitleAndFileOnly) {
  t.settings.values.clear();
  t.settings.Put("Other Host", kFile, "DeviceType", kDeviceOpenDmx);
  t.settings.Put(kTitle, "other.so", "DeviceType", kDeviceOpenDmx);
  t.settings.Put(kTitle, kFile, "comPort", "3");

  EXPECT_EQ(driver->Init(kTitle, kFile, nullptr).status, 0);

  EXPECT_EQ(t.state.comPort, 3);
  EXPECT_EQ(t.state.deviceType, "");
  EXPECT_EQ(t.openDmx.Count("StartOpenDmx"), 0);
  EXPECT_EQ(t.pro.Count("OpenProPort"), 0);
  EXPECT_TRUE(UniverseCleared()) << "cleared also when no interface is selected";
}

TEST_P(Init, KeepsTheDeviceTypeTextExactly) {
  t.settings.Put(kTitle, kFile, "DeviceType", " DMXUSBpro");
  EXPECT_EQ(driver->Init(kTitle, kFile, nullptr).status, 0);
  EXPECT_EQ(t.state.deviceType, " DMXUSBpro");
  EXPECT_EQ(t.pro.Count("OpenProPort"), 0);
}

TEST_P(Init, TransmitterFailureStopsBeforeTheSettings) {
  t.transmitter.FailOn("LoadTransmitter", Failure(ErrorNumber::kInternal, "no serial component"));

  const Outcome outcome = driver->Init(kTitle, kFile, first.get());

  EXPECT_EQ(outcome.status, 51);
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(t.log, CallLog{"LoadTransmitter"});
  // The steps before it stay done.
  EXPECT_EQ(t.state.appTitle, kTitle);
  EXPECT_EQ(t.state.pluginFile, kFile);
  EXPECT_EQ(first.held(), 1u);
  EXPECT_EQ(t.state.comPort, kPreviousPort);
  EXPECT_TRUE(UniverseUntouched());
}

TEST_P(Init, FailedOpenLeavesTheUniverse) {
  t.pro.FailOn("OpenProPort", Failure(ErrorNumber::kPortNotFound));

  const Outcome outcome = driver->Init(kTitle, kFile, nullptr);

  EXPECT_EQ(outcome.status, 8012);
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(t.state.deviceType, kDeviceProWidget);
  EXPECT_TRUE(UniverseUntouched());
}

TEST_P(Init, SecondInitOpensAgainWithoutClosing) {
  ASSERT_EQ(driver->Init(kTitle, kFile, nullptr).status, 0);
  ASSERT_EQ(driver->Init(kTitle, kFile, nullptr).status, 0);
  EXPECT_EQ(t.pro.Count("OpenProPort"), 2);
  EXPECT_EQ(t.pro.Count("CloseProPort"), 0);
}

TEST_P(Init, TakesTheNewHelperBeforeReleasingTheOld) {
  ASSERT_EQ(driver->Init(kTitle, kFile, first.get()).status, 0);
  EXPECT_EQ(first.held(), 1u);
  ASSERT_EQ(driver->Init(kTitle, kFile, second.get()).status, 0);
  EXPECT_EQ(first.held(), 0u);
  EXPECT_EQ(second.held(), 1u);
  ASSERT_EQ(driver->Init(kTitle, kFile, second.get()).status, 0);
  EXPECT_EQ(second.held(), 1u) << "the same helper again is held once";
  EXPECT_EQ(references, (CallLog{"AddRef first", "AddRef second", "Release first", "AddRef second",
                                 "Release second"}));

  EXPECT_EQ(driver->Term().status, 0);
  EXPECT_EQ(second.held(), 0u);
  EXPECT_EQ(driver->Term().status, 0);
  EXPECT_EQ(second.held(), 0u) << "a second Term releases nothing more";
}

TEST_P(Init, FailedConversionStillHoldsTheHelper) {
  t.settings.Put(kTitle, kFile, "comPort", "COM3");
  EXPECT_EQ(driver->Init(kTitle, kFile, first.get()).status, 13);
  EXPECT_EQ(first.held(), 1u);
  EXPECT_EQ(driver->Term().status, 0);
  EXPECT_EQ(first.held(), 0u);
}

TEST_P(Init, NoHelperIsAllowed) {
  ASSERT_EQ(driver->Init(kTitle, kFile, first.get()).status, 0);
  ASSERT_EQ(driver->Init(kTitle, kFile, nullptr).status, 0);
  EXPECT_EQ(first.held(), 0u);
  EXPECT_EQ(t.state.pluginHelper, nullptr);
}

INSTANTIATE_TEST_SUITE_P(AllCallers, Init, ::testing::ValuesIn(kAllCallers), CallerName);

}  // namespace
}  // namespace lumivane::test
