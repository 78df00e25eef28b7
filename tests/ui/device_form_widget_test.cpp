// SPDX-License-Identifier: MIT
// The dialog's handlers with the real scan, Test, parser and widget link,
// over a serial component with scripted ports. No window.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "prowidget/pro_widget_probe.h"
#include "prowidget/reply_parser.h"
#include "prowidget/widget_link.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_links.h"
#include "tests/support/fake_serial_component.h"
#include "tests/support/fake_settings_store.h"
#include "tests/support/memory_device_view.h"
#include "tests/support/recording_reports.h"
#include "ui/device_form.h"

namespace lumivane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Entry = test::MemoryDeviceView::Entry;
using test::Bytes;

const std::string kSerialReply = Bytes({0x7E, 0x0A, 0x04, 0x00, 0x12, 0x34, 0x56, 0x78, 0xE7});
const std::string kSerialDump = "7E A 4 0 12 34 56 78 E7 ";
const std::string kInitialFrame = Bytes({0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7});

class DeviceFormWidgetTest : public ::testing::Test {
 protected:
  DeviceFormWidgetTest() {
    state.appTitle = "Show Host";
    state.pluginFile = "lumivane.so";
    serial().AddPort(1);                // opens, stays silent
    serial().AddPort(3, kSerialReply);  // a widget
    settings.values[{"Show Host", "Plugins\\lumivane.so", "comPort"}] = "3";
  }

  test::FakeSerialComponent& serial() { return *fake.serial; }
  void ClosePort() { serial().SetPortOpen(false); }

  DriverState state;
  test::CallLog log;
  test::FakeSettingsStore settings{&log};
  test::FakePortTransmitter fake;
  test::RecordingReports reports;
  WidgetLink pro{state, fake.transmitter, reports};
  test::FakeOpenDmxLink openDmx{&log};
  DeviceRouting routing{state, pro, openDmx};
  test::FakeClock clock;
  ReplyParser parser{reports};
  ProWidgetProbe probes{fake.transmitter, pro, parser, clock, reports};
  test::MemoryDeviceView view;
  DeviceForm form{view, {state, settings, routing, probes, reports}};
};

TEST_F(DeviceFormWidgetTest, LoadWithTheWidgetOnPort3ListsExactlyOneScan) {
  state.deviceType = "DMXUSBpro";
  state.comPort = 3;
  form.Form_Load();
  EXPECT_EQ(view.txtCommPort, " 3");
  EXPECT_THAT(view.devList,
              ElementsAre(Entry{"Com: 1", 0}, Entry{"Pro Widget - Com:  3 : 78563412", 3}));
  // Port 3 answered, so the info line shows its reply instead of the device.
  EXPECT_EQ(view.lblinfo, kSerialDump);
  EXPECT_EQ(view.lblResult, "serial number:  78563412");
  EXPECT_FALSE(serial().PortOpen());
  EXPECT_THAT(reports.messages, IsEmpty());
}

TEST_F(DeviceFormWidgetTest, LoadWithOnlySilentPortsKeepsTheDeviceLine) {
  serial().ports.erase(3);
  state.deviceType = "DMXUSBpro";
  state.comPort = 3;
  form.Form_Load();
  EXPECT_EQ(view.lblinfo, "Current Device: DMXUSBpro on port: 3");
  EXPECT_THAT(view.devList, ElementsAre(Entry{"Com: 1", 0}));
}

TEST_F(DeviceFormWidgetTest, TestOnAMissingPortReportsItAndKeepsTheNumberInMemoryOnly) {
  view.txtCommPort = "7";
  form.cmdTest_Click();
  EXPECT_THAT(reports.messages, ElementsAre("Failed to open USB DMX Pro on comm port:  7"));
  EXPECT_EQ(state.comPort, 7);
  EXPECT_EQ(settings.Stored("comPort"), "3");
  EXPECT_EQ(view.lblResult, "Test Result");
}

TEST_F(DeviceFormWidgetTest, TestOnASilentPortShowsNothingRecieved) {
  view.txtCommPort = "1";
  form.cmdTest_Click();
  EXPECT_EQ(view.lblResult, "Nothing Recieved");
  EXPECT_THAT(clock.SpansMs(), ElementsAre(100));
  EXPECT_TRUE(serial().PortOpen());  // Test leaves its port open
}

TEST_F(DeviceFormWidgetTest, TestOnAWidgetShowsTheCodeAndTheReply) {
  const char* texts[] = {"3", " 3 ", "3.9", "3.0"};
  for (const char* text : texts) {
    SCOPED_TRACE(text);
    view.txtCommPort = text;
    view.lblinfo = "Info";
    form.cmdTest_Click();
    EXPECT_EQ(state.comPort, 3);
    EXPECT_EQ(view.lblResult, " 10");
    EXPECT_EQ(view.lblinfo, kSerialDump);
    ClosePort();
  }
  EXPECT_THAT(serial().opened, ElementsAre(3, 3, 3, 3));
  EXPECT_THAT(reports.messages, IsEmpty());
}

TEST_F(DeviceFormWidgetTest, TestWith2Point9TestsPort2) {
  serial().AddPort(2, kSerialReply);
  view.txtCommPort = "2.9";
  form.cmdTest_Click();
  EXPECT_THAT(serial().opened, ElementsAre(2));
  EXPECT_EQ(view.lblResult, " 10");
}

TEST_F(DeviceFormWidgetTest, OkWithTheWidgetOpensItOnTheTypedPortAndClearsTheUniverse) {
  serial().AddPort(5);
  state.dmxData[10] = 99;
  view.txtCommPort = "5";
  form.cmdOK_Click();
  EXPECT_THAT(log, ElementsAre("Write comPort=5", "Write DeviceType=DMXUSBpro"));
  EXPECT_THAT(serial().opened, ElementsAre(5));
  ASSERT_FALSE(serial().writes.empty());
  EXPECT_EQ(serial().writes.back(), std::make_pair(int16_t{5}, kInitialFrame));
  EXPECT_EQ(state.dmxData[10], 0);
}

TEST_F(DeviceFormWidgetTest, OkAfterTestKeepsThePortTestOpened) {
  serial().AddPort(4);
  view.txtCommPort = "3";
  form.cmdTest_Click();
  view.txtCommPort = "4";
  form.cmdOK_Click();
  EXPECT_EQ(settings.Stored("comPort"), "4");
  EXPECT_THAT(serial().opened, ElementsAre(3));
  EXPECT_EQ(serial().writes.back(), std::make_pair(int16_t{3}, kInitialFrame));
}

TEST_F(DeviceFormWidgetTest, AClickAfterLoadListsEveryPortTwiceLoadScanFirst) {
  state.deviceType = "DMXUSBpro";
  form.Form_Load();
  form.optDMXUSBpro_Click();
  EXPECT_THAT(view.devList,
              ElementsAre(Entry{"Com: 1", 0}, Entry{"Pro Widget - Com:  3 : 78563412", 3},
                          Entry{"Com: 1", 0}, Entry{"Pro Widget - Com:  3 : 78563412", 3}));
}

}  // namespace
}  // namespace lumivane
