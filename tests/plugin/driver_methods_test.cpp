// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "tests/support/case_names.h"
#include "tests/support/driver_caller.h"
#include "tests/support/fake_helper.h"
#include "tests/support/test_plugin.h"

namespace lumivane::test {
namespace {

using lumivane::test::PrintTo;

class DriverMethods : public ::testing::TestWithParam<CallerKind> {
 protected:
  FakeHelper helper;
  TestPlugin t;
  std::unique_ptr<DriverCaller> driver = MakeDriverCaller(GetParam(), t.plugin);
};

TEST_P(DriverMethods, EnableAndDisableSetTheFlagOnly) {
  const Outcome enabled = driver->Enable();
  EXPECT_EQ(enabled.status, 0);
  EXPECT_TRUE(enabled.result);
  EXPECT_TRUE(t.state.outputEnabled);
  EXPECT_TRUE(t.log.empty());

  const Outcome disabled = driver->Disable();
  EXPECT_EQ(disabled.status, 0);
  EXPECT_TRUE(disabled.result);
  EXPECT_FALSE(t.state.outputEnabled);
  EXPECT_EQ(t.log, CallLog{"LoadTransmitter"}) << "Disable loads the window, opens nothing";
}

TEST_P(DriverMethods, DisableFailsWhenTheWindowCannotLoad) {
  t.transmitter.FailOn("LoadTransmitter", Failure(ErrorNumber::kInternal));
  const Outcome outcome = driver->Disable();
  EXPECT_EQ(outcome.status, 51);
  EXPECT_FALSE(outcome.result);
  EXPECT_FALSE(t.state.outputEnabled);
}

TEST_P(DriverMethods, PluginNameBeforeInit) {
  std::string name;
  EXPECT_EQ(driver->PluginName(name).status, 0);
  EXPECT_EQ(name, "Lumivane DMX Pro Driver");
}

TEST_P(DriverMethods, ConfigureShowsTheDialog) {
  const Outcome outcome = driver->Configure();
  EXPECT_EQ(outcome.status, 0);
  EXPECT_TRUE(outcome.result);
  EXPECT_EQ(t.log, CallLog{"ShowDialog"});
}

TEST_P(DriverMethods, ConfigureFailsWhenTheDialogCannotShow) {
  t.dialog.FailOn("ShowDialog", Failure(ErrorNumber::kNoDisplay));
  const Outcome outcome = driver->Configure();
  EXPECT_EQ(outcome.status, 9200);
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(outcome.description, DescribeError(ErrorNumber::kNoDisplay));
}

TEST_P(DriverMethods, TermBeforeInitClosesNothingElse) {
  const Outcome outcome = driver->Term();
  EXPECT_EQ(outcome.status, 0);
  EXPECT_FALSE(outcome.result);
  // The widget link closes its port only if it opened it.
  EXPECT_EQ(t.log, CallLog{"CloseProPort"});
}

TEST_P(DriverMethods, TermLeavesTheOpenDmxOpenAndTheStateAsItWas) {
  t.settings.Put("T", "F", "DeviceType", kDeviceOpenDmx);
  t.settings.Put("T", "F", "comPort", "5");
  ASSERT_EQ(driver->Init("T", "F", helper.get()).status, 0);
  ASSERT_TRUE(driver->SetChannel(9, 90).result);
  t.log.clear();

  const Outcome outcome = driver->Term();

  EXPECT_EQ(outcome.status, 0);
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(t.log, CallLog{"CloseProPort"});
  EXPECT_EQ(helper.held(), 0u);
  EXPECT_EQ(t.state.deviceType, kDeviceOpenDmx);
  EXPECT_EQ(t.state.comPort, 5);
  EXPECT_EQ(t.state.dmxData[9], 90);
  EXPECT_EQ(t.state.appTitle, "T");
}

TEST_P(DriverMethods, TermFailureComesAfterTheHelperIsReleased) {
  ASSERT_EQ(driver->Init("T", "F", helper.get()).status, 0);
  t.pro.FailOn("CloseProPort", Failure(ErrorNumber::kPortDeviceGone));
  const Outcome outcome = driver->Term();
  EXPECT_EQ(outcome.status, 8023);
  EXPECT_FALSE(outcome.result);
  EXPECT_EQ(helper.held(), 0u);
}

TEST_P(DriverMethods, ObjectsShareOneStateAndTheLastInitNamesIt) {
  auto other = MakeDriverCaller(GetParam(), t.plugin);
  ASSERT_EQ(driver->Init("First", "a.so", nullptr).status, 0);
  ASSERT_TRUE(driver->SetChannel(1, 11).result);
  ASSERT_EQ(other->Init("Second", "b.so", nullptr).status, 0);
  EXPECT_EQ(t.state.appTitle, "Second");
  EXPECT_EQ(t.state.pluginFile, "b.so");
  EXPECT_EQ(t.state.dmxData[1], 0) << "the second init opened again and cleared";
  ASSERT_TRUE(other->SetChannel(2, 22).result);
  EXPECT_EQ(t.state.dmxData[2], 22);
}

INSTANTIATE_TEST_SUITE_P(AllCallers, DriverMethods, ::testing::ValuesIn(kAllCallers), CallerName);

TEST(OutputDriverObject, CreatingAndDestroyingTouchesNothing) {
  TestPlugin t;
  t.state.deviceType = kDeviceProWidget;
  t.state.dmxData[4] = 44;
  {
    clsOutputDriver driver(t.plugin);
    EXPECT_EQ(driver.myAppTitle(), "");
    EXPECT_EQ(driver.myPluginFile(), "");
    lv_object* object = NewDriverObject(t.plugin);
    EXPECT_EQ(object->ops->Release(object), 0u);
  }
  EXPECT_TRUE(t.log.empty());
  EXPECT_EQ(t.state.dmxData[4], 44);
}

}  // namespace
}  // namespace lumivane::test
