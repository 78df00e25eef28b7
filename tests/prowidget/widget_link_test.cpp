// SPDX-License-Identifier: MIT
#include "prowidget/widget_link.h"

#include <gtest/gtest.h>

#include "tests/support/expect_failure.h"
#include "tests/support/fake_serial_component.h"
#include "tests/support/recording_reports.h"

namespace lumivane {
namespace {

using test::FakeSerialComponent;
using test::kSerialRequest;
using Log = std::vector<std::string>;

const std::string kInitial("\x7E\x06\x01\x00\x00\xE7", 6);

class WidgetLinkTest : public ::testing::Test {
 protected:
  WidgetLinkTest() {
    for (int16_t port = 1; port <= 5; ++port) serial().AddPort(port);
  }
  FakeSerialComponent& serial() { return *fake_.serial; }

  DriverState state_;
  test::RecordingReports reports_;
  test::FakePortTransmitter fake_;
  WidgetLink link_{state_, fake_.transmitter, reports_};
};

TEST_F(WidgetLinkTest, OpenOpensTheStoredPortAndPrimesTheWidget) {
  state_.comPort = 3;
  link_.OpenProPort();
  EXPECT_EQ(serial().log, (Log{"CommPort=3", "PortOpen=True", "Output 6 bytes"}));
  EXPECT_EQ(serial().written, (Log{kInitial}));
  EXPECT_TRUE(link_.proPortOpen());
  EXPECT_TRUE(reports_.messages.empty());
}

TEST_F(WidgetLinkTest, FailuresToOpenAreReportedWithTheSignPaddedPort) {
  struct Case {
    int16_t comPort;
    const char* text;
  };
  for (const Case& c :
       {Case{3, "Failed to open USB DMX Pro on comm port:  3 - Check Settings, Device"},
        Case{-1, "Failed to open USB DMX Pro on comm port: -1 - Check Settings, Device"},
        Case{0, "Failed to open USB DMX Pro on comm port:  0 - Check Settings, Device"},
        Case{255, "Failed to open USB DMX Pro on comm port:  255 - Check Settings, Device"}}) {
    serial().ports.clear();  // no device anywhere
    serial().log.clear();
    reports_.messages.clear();
    state_.comPort = c.comPort;
    link_.OpenProPort();
    EXPECT_EQ(reports_.messages, (Log{c.text})) << c.comPort;
    EXPECT_TRUE(serial().written.empty()) << c.comPort;
    EXPECT_FALSE(link_.proPortOpen()) << c.comPort;
  }
}

TEST_F(WidgetLinkTest, AFailedOpenKeepsTheFlagAsItWas) {
  state_.comPort = 3;
  link_.OpenProPort();
  serial().CloseDirectly();  // the scan closed it behind the flag
  serial().ports.clear();
  link_.OpenProPort();
  EXPECT_EQ(reports_.messages.size(), 1u);
  EXPECT_TRUE(link_.proPortOpen());
}

TEST_F(WidgetLinkTest, ARefusedNumberOpensThePortTheComponentHeld) {
  serial().SetCommPort(2);
  serial().log.clear();
  state_.comPort = -1;
  link_.OpenProPort();
  EXPECT_EQ(serial().log, (Log{"CommPort=-1", "PortOpen=True", "Output 6 bytes"}));
  EXPECT_EQ(serial().openedOn, 2);
  EXPECT_TRUE(link_.proPortOpen());
  EXPECT_TRUE(reports_.messages.empty());
}

TEST_F(WidgetLinkTest, AnOpenPortKeepsItsNumberAndIsPrimedAgain) {
  serial().OpenDirectly(5);
  state_.comPort = 3;
  link_.OpenProPort();
  EXPECT_EQ(serial().log, (Log{"Output 6 bytes"}));
  EXPECT_EQ(serial().CommPort(), 5);
  EXPECT_TRUE(link_.proPortOpen());
}

TEST_F(WidgetLinkTest, AFailedInitialFrameStillSetsTheFlag) {
  serial().failOutput = ErrorNumber::kPortWriteTimedOut;
  state_.comPort = 3;
  EXPECT_NO_THROW(link_.OpenProPort());
  EXPECT_TRUE(link_.proPortOpen());
  EXPECT_TRUE(reports_.messages.empty());
}

TEST_F(WidgetLinkTest, AnUnreadableStateCountsAsClosed) {
  // Both tests fail: the open steps run, then the report, then return.
  serial().failPortOpenRead = ErrorNumber::kInternal;
  state_.comPort = 3;
  EXPECT_NO_THROW(link_.OpenProPort());
  EXPECT_EQ(serial().log, (Log{"CommPort=3", "PortOpen=True"}));
  EXPECT_EQ(reports_.messages.size(), 1u);
  EXPECT_FALSE(link_.proPortOpen());
}

TEST_F(WidgetLinkTest, NoComponentAtAllIsReportedNotThrown) {
  Transmitter broken(
      []() -> std::unique_ptr<SerialComponent> { throw Failure(ErrorNumber::kCannotCreate); });
  WidgetLink link(state_, broken, reports_);
  state_.comPort = 4;
  link.OpenProPort();
  EXPECT_EQ(reports_.messages,
            (Log{"Failed to open USB DMX Pro on comm port:  4 - Check Settings, Device"}));
  EXPECT_FALSE(link.proPortOpen());
}

TEST_F(WidgetLinkTest, SendWritesTheUniverseOnlyWhileTheFlagIsSet) {
  state_.dmxData[1] = 0x7E;
  state_.dmxData[512] = 0xE7;
  link_.SendProUniverse();
  EXPECT_TRUE(serial().log.empty()) << "before any open";

  state_.comPort = 3;
  link_.OpenProPort();
  link_.SendProUniverse();
  ASSERT_EQ(serial().written.size(), 2u);
  const std::string& frame = serial().written[1];
  ASSERT_EQ(frame.size(), 518u);
  EXPECT_EQ(frame.substr(0, 6), std::string("\x7E\x06\x01\x02\x00\x7E", 6));
  EXPECT_EQ(frame.substr(516), std::string("\xE7\xE7", 2));

  link_.CloseProPort();
  serial().log.clear();
  link_.SendProUniverse();
  EXPECT_TRUE(serial().log.empty()) << "after close";
}

TEST_F(WidgetLinkTest, CloseOnlyWhileTheFlagIsSet) {
  link_.CloseProPort();
  EXPECT_TRUE(serial().log.empty());
  state_.comPort = 3;
  link_.OpenProPort();
  serial().log.clear();
  link_.CloseProPort();
  link_.CloseProPort();
  EXPECT_EQ(serial().log, (Log{"PortOpen=False"})) << "a second close does nothing";
  EXPECT_FALSE(link_.proPortOpen());
  EXPECT_FALSE(serial().PortOpen());
}

TEST_F(WidgetLinkTest, AFailedCloseKeepsTheFlag) {
  state_.comPort = 3;
  link_.OpenProPort();
  serial().failClose = ErrorNumber::kPortDeviceGone;
  EXPECT_FAILURE(link_.CloseProPort(), 8023);
  EXPECT_TRUE(link_.proPortOpen());
}

TEST_F(WidgetLinkTest, WhenFlagAndPortDisagreeTheFlagDecides) {
  // A port the scan left open: no writes, and close leaves it open.
  serial().OpenDirectly(2);
  link_.SendProUniverse();
  link_.CloseProPort();
  EXPECT_TRUE(serial().log.empty());
  EXPECT_TRUE(serial().PortOpen());

  // The flag set but the port closed behind it: the write fails upwards.
  state_.comPort = 2;
  link_.OpenProPort();
  serial().CloseDirectly();
  EXPECT_FAILURE(link_.SendProUniverse(), 8018);
}

TEST_F(WidgetLinkTest, SendFailuresPassUp) {
  // Outages (8022, 8023) have their own tests: the link then recovers.
  state_.comPort = 3;
  link_.OpenProPort();
  for (ErrorNumber number : {ErrorNumber::kPortWriteFailed, ErrorNumber::kPortNotOpen}) {
    serial().failOutput = number;
    EXPECT_FAILURE(link_.SendProUniverse(), number);
    EXPECT_FAILURE(link_.SendProUniverse(), number) << "every time";
  }
}

TEST_F(WidgetLinkTest, RequestSerialIgnoresTheFlag) {
  EXPECT_FAILURE(link_.RequestProSerial(), 8018) << "closed port";
  serial().OpenDirectly(4);
  EXPECT_NO_THROW(link_.RequestProSerial());
  EXPECT_EQ(serial().written, (Log{kSerialRequest}));
  EXPECT_FALSE(link_.proPortOpen());
}

}  // namespace
}  // namespace lumivane
