// SPDX-License-Identifier: MIT
// The dialog's handlers without a window, on fakes of the links and probes.
#include "ui/device_form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/expect_failure.h"
#include "tests/support/fake_links.h"
#include "tests/support/fake_probes.h"
#include "tests/support/fake_settings_store.h"
#include "tests/support/memory_device_view.h"
#include "tests/support/recording_reports.h"

namespace lumivane {
namespace {

using test::CallLog;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Entry = test::MemoryDeviceView::Entry;

class DeviceFormTest : public ::testing::Test {
 protected:
  DeviceFormTest() {
    state.appTitle = "Show Host";
    state.pluginFile = "lumivane.so";
    probes.found = {{"Com: 1", 0}, {"Pro Widget - Com:  3 : 78563412", 3}};
  }

  // Everything the handlers did since the last call.
  CallLog TakeLog() { return std::exchange(log, {}); }

  DriverState state;
  CallLog log;
  test::FakeSettingsStore settings{&log};
  test::FakeProLink pro{&state, &log};
  test::FakeOpenDmxLink openDmx{&log};
  test::RecordingReports reports;
  test::ScriptedProbes probes{&log};
  DeviceRouting routing{state, pro, openDmx};
  test::MemoryDeviceView view;
  DeviceForm form{view, {state, settings, routing, probes, reports}};

  const std::vector<Entry> oneScan{{"Com: 1", 0}, {"Pro Widget - Com:  3 : 78563412", 3}};
};

// --- Form_Load ---

TEST_F(DeviceFormTest, LoadWithTheWidgetOnPort3ClosesItAndScansOnce) {
  state.deviceType = "DMXUSBpro";
  state.comPort = 3;
  form.Form_Load();
  EXPECT_THAT(TakeLog(), ElementsAre("CloseProPort", "ScanProPorts"));
  EXPECT_EQ(view.lblinfo, "Current Device: DMXUSBpro on port: 3");
  EXPECT_EQ(view.txtCommPort, " 3");
  EXPECT_EQ(view.devList, oneScan);
  EXPECT_TRUE(view.ProWidgetSelected());
}

TEST_F(DeviceFormTest, LoadWithNothingStoredShowsAnEmptyDeviceAndDoesNotScan) {
  form.Form_Load();
  EXPECT_THAT(TakeLog(), IsEmpty());
  EXPECT_EQ(view.lblinfo, "Current Device: ");
  EXPECT_EQ(view.txtCommPort, " 0");
  EXPECT_THAT(view.devList, IsEmpty());
  EXPECT_TRUE(view.ProWidgetSelected());
}

TEST_F(DeviceFormTest, LoadWithTheOpenDmxStoredClosesItKeepsTheWidgetOptionAndOkSwitches) {
  state.deviceType = "OpenDMXUSB";
  state.comPort = 4;
  form.Form_Load();
  EXPECT_THAT(TakeLog(), ElementsAre("StopOpenDmx"));
  EXPECT_EQ(view.lblinfo, "Current Device: OpenDMXUSB");
  EXPECT_TRUE(view.ProWidgetSelected());

  form.cmdOK_Click();
  EXPECT_THAT(TakeLog(),
              ElementsAre("Write comPort=4", "Write DeviceType=DMXUSBpro", "OpenProPort"));
  EXPECT_EQ(state.deviceType, "DMXUSBpro");
}

TEST_F(DeviceFormTest, LoadMatchesTheDeviceTypeExactly) {
  state.deviceType = "dmxusbpro";
  state.comPort = -1;
  form.Form_Load();
  EXPECT_THAT(TakeLog(), IsEmpty());
  EXPECT_EQ(view.lblinfo, "Current Device: dmxusbpro");
  EXPECT_EQ(view.txtCommPort, "-1");
}

TEST_F(DeviceFormTest, LoadStopsAtAFailingCloseAndPassesItOn) {
  state.deviceType = "DMXUSBpro";
  state.comPort = 3;
  pro.FailOn("CloseProPort", Failure(ErrorNumber::kPortDeviceGone));
  EXPECT_FAILURE(form.Form_Load(), ErrorNumber::kPortDeviceGone)
      << "the close failure must reach the caller";
  EXPECT_THAT(TakeLog(), ElementsAre("CloseProPort"));
  EXPECT_EQ(view.lblinfo, "Info");
  EXPECT_EQ(view.txtCommPort, "1");
}

// --- optDMXUSBpro_Click ---

TEST_F(DeviceFormTest, EachWidgetOptionClickAppendsAFullScan) {
  state.deviceType = "DMXUSBpro";
  form.Form_Load();
  form.optDMXUSBpro_Click();
  std::vector<Entry> twice = oneScan;
  twice.insert(twice.end(), oneScan.begin(), oneScan.end());
  EXPECT_EQ(view.devList, twice);
  form.optDMXUSBpro_Click();
  EXPECT_EQ(view.devList.size(), 3 * oneScan.size());
  EXPECT_THAT(TakeLog(),
              ElementsAre("CloseProPort", "ScanProPorts", "ScanProPorts", "ScanProPorts"));
}

// --- cmdTest_Click ---

TEST_F(DeviceFormTest, TestReadsThePortTextIntoMemoryOnly) {
  const struct {
    const char* text;
    int16_t port;
  } cases[] = {{"7", 7}, {"2.9", 2}, {" 3 ", 3}, {"-0.5", -1}, {" 16", 16}, {"32767", 32767}};
  settings.values[{"Show Host", "Plugins\\lumivane.so", "comPort"}] = "1";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    view.txtCommPort = c.text;
    form.cmdTest_Click();
    EXPECT_EQ(state.comPort, c.port);
    EXPECT_THAT(TakeLog(), ElementsAre("TestProPort " + std::to_string(c.port)));
    EXPECT_EQ(view.lblResult, " 10");
    EXPECT_EQ(settings.Stored("comPort"), "1");
  }
  EXPECT_THAT(reports.messages, IsEmpty());
}

TEST_F(DeviceFormTest, TestRefusesATextThatIsNoPortNumber) {
  state.comPort = 3;
  for (const char* text : {"", "  ", "abc", "COM3", "3x", "32768", "-32769", "1e10", "0x10"}) {
    SCOPED_TRACE(text);
    view.txtCommPort = text;
    form.cmdTest_Click();
    ASSERT_FALSE(reports.messages.empty());
    EXPECT_EQ(reports.messages.back(), std::string("Invalid port number: ") + text);
    EXPECT_EQ(state.comPort, 3);
    EXPECT_THAT(TakeLog(), IsEmpty());
    EXPECT_EQ(view.lblResult, "Test Result");
  }
}

// --- cmdOK_Click ---

TEST_F(DeviceFormTest, OkWithTheWidgetWritesPortThenTypeThenOpensAndClearsTheUniverse) {
  view.txtCommPort = "5";
  state.dmxData[1] = 9;
  state.dmxData[512] = 255;
  form.cmdOK_Click();
  EXPECT_THAT(TakeLog(),
              ElementsAre("Write comPort=5", "Write DeviceType=DMXUSBpro", "OpenProPort"));
  EXPECT_EQ(state.deviceType, "DMXUSBpro");
  EXPECT_EQ(state.comPort, 5);
  EXPECT_EQ(state.dmxData[1], 0);
  EXPECT_EQ(state.dmxData[512], 0);
  EXPECT_EQ(settings.Read("Show Host", "Plugins\\lumivane.so", "comPort"), "5");
  EXPECT_EQ(settings.Read("Show Host", "Plugins\\lumivane.so", "DeviceType"), "DMXUSBpro");
}

TEST_F(DeviceFormTest, OkWithTheOpenDmxWritesOnlyTheTypeAndLeavesThePortAlone) {
  state.comPort = 3;
  view.proSelected = false;
  view.txtCommPort = "not read";
  form.cmdOK_Click();
  EXPECT_THAT(TakeLog(), ElementsAre("Write DeviceType=OpenDMXUSB", "StartOpenDmx"));
  EXPECT_EQ(state.comPort, 3);
  EXPECT_THAT(reports.messages, IsEmpty());
}

TEST_F(DeviceFormTest, OkRefusesAnInvalidPortTextAndChangesNothing) {
  state.deviceType = "OpenDMXUSB";
  state.comPort = 3;
  state.dmxData[7] = 70;
  view.txtCommPort = "COM5";
  form.cmdOK_Click();
  EXPECT_THAT(reports.messages, ElementsAre("Invalid port number: COM5"));
  EXPECT_THAT(TakeLog(), IsEmpty());
  EXPECT_TRUE(settings.values.empty());
  EXPECT_EQ(state.deviceType, "OpenDMXUSB");
  EXPECT_EQ(state.comPort, 3);
  EXPECT_EQ(state.dmxData[7], 70);
}

TEST_F(DeviceFormTest, OkShowsAFailingStepAndKeepsTheStepsBefore) {
  struct Case {
    const char* name;
    const char* failKey;
    bool failOpen;
    CallLog expected;
    const char* message;
  };
  const Case cases[] = {
      {"comPort write", "comPort", false, {}, "The settings could not be saved: disk full"},
      {"DeviceType write",
       "DeviceType",
       false,
       {"Write comPort=6"},
       "The settings could not be saved: disk full"},
      {"open",
       nullptr,
       true,
       {"Write comPort=6", "Write DeviceType=DMXUSBpro", "OpenProPort"},
       "The port is in use by another program"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    state.comPort = 1;
    state.dmxData[2] = 20;
    if (c.failKey) {
      settings.FailOn(std::string("Write ") + c.failKey,
                      Failure(ErrorNumber::kSettingsWriteFailed, "disk full"));
    }
    if (c.failOpen) pro.FailOn("OpenProPort", Failure(ErrorNumber::kPortBusy));
    view.txtCommPort = "6";
    reports.messages.clear();
    EXPECT_NO_THROW(form.cmdOK_Click());
    EXPECT_EQ(TakeLog(), c.expected);
    EXPECT_THAT(reports.messages, ElementsAre(c.message));
    EXPECT_EQ(state.comPort, 6);  // set before the first write
    EXPECT_EQ(state.dmxData[2], 20);
    settings.ClearFailures();
    pro.ClearFailures();
  }
}

TEST_F(DeviceFormTest, OkTwiceOpensTwiceWithoutClosing) {
  view.txtCommPort = "2";
  form.cmdOK_Click();
  view.proSelected = false;
  form.cmdOK_Click();
  EXPECT_THAT(TakeLog(), ElementsAre("Write comPort=2", "Write DeviceType=DMXUSBpro", "OpenProPort",
                                     "Write DeviceType=OpenDMXUSB", "StartOpenDmx"));
}

}  // namespace
}  // namespace lumivane
