// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "prowidget/pro_widget_probe.h"
#include "tests/support/bytes.h"
#include "tests/support/fake_clock.h"
#include "tests/support/fake_links.h"
#include "tests/support/fake_serial_component.h"
#include "tests/support/recording_display.h"
#include "tests/support/recording_reports.h"

namespace lumivane::test {
namespace {

std::string SerialReply(uint8_t a, uint8_t b, uint8_t c, uint8_t d) {
  return Bytes({0x7E, 0x0A, 0x04, 0x00, a, b, c, d, 0xE7});
}

const std::string kWidget4 = SerialReply(0x12, 0x34, 0x56, 0x78);
const std::string kWidget9 = SerialReply(0x01, 0x02, 0x03, 0xA0);

// The scan over scripted ports, with a sleep that only counts.
class PortScanTest : public ::testing::Test {
 protected:
  FakeSerialComponent& serial() { return *fake.serial; }

  FakePortTransmitter fake;
  FakeProLink pro{*fake.serial};
  RecordingReports reports;
  ReplyParser parser{reports};
  test::FakeClock clock;
  ProWidgetProbe scan{fake.transmitter, pro, parser, clock, reports};
  RecordingDisplay display;
};

TEST_F(PortScanTest, NoPortOpensListsNothing) {
  scan.ScanProPorts(display);
  EXPECT_TRUE(display.entries.empty());
  EXPECT_TRUE(clock.Spans().empty()) << "missing ports cost no wait";
  EXPECT_EQ(pro.requests(), 0);
  for (int port = 1; port <= 16; ++port) {
    EXPECT_FALSE(scan.portPresent(port));
    EXPECT_FALSE(scan.portIsWidget(port));
  }
}

TEST_F(PortScanTest, ListsWidgetsByTheirSerialAndOtherPortsByNumber) {
  serial().AddPort(2);  // silent
  serial().AddPort(4, kWidget4);
  serial().AddPort(9, kWidget9);
  serial().AddPort(12, Bytes({0x41, 0x42, 0x43, 0x44}));              // garbage: -2
  serial().AddPort(13, Bytes({0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7}));  // another label
  serial().AddPort(14, Bytes({0x7E, 0x0A}));                          // too short: -1
  serial().AddPort(17, kWidget4);                                     // beyond the scan

  scan.ScanProPorts(display);

  const std::vector<ListEntry> expected{
      {"Com: 2", 0},
      {"Pro Widget - Com:  4 : 78563412", 4},
      {"Pro Widget - Com:  9 : A0030201", 9},
      {"Com: 12", 0},
      {"Com: 13", 0},
      {"Com: 14", 0},
  };
  EXPECT_EQ(display.entries, expected);
  EXPECT_EQ(clock.SpansMs(), std::vector<int64_t>(6, 50)) << "one 50 ms wait per port that opened";
  EXPECT_EQ(serial().opened, (std::vector<int16_t>{2, 4, 9, 12, 13, 14}));
  EXPECT_EQ(serial().closed, serial().opened);
  EXPECT_FALSE(serial().PortOpen());
  EXPECT_EQ(pro.requests(), 6);
  for (int port = 1; port <= 16; ++port) {
    const bool present = serial().ports.contains(static_cast<int16_t>(port));
    EXPECT_EQ(scan.portPresent(port), present) << port;
    EXPECT_EQ(scan.portIsWidget(port), port == 4 || port == 9) << port;
  }
  EXPECT_EQ(reports.messages.size(), 1u) << "the garbage port's message";
  EXPECT_EQ(parser.widgetSerial(), "") << "cleared by every pass, and port 16 did not answer";
}

TEST_F(PortScanTest, PendingInputIsDroppedBeforeTheRequest) {
  serial().AddPort(3, kWidget4);
  serial().ports[3].pending = Bytes({0x41, 0x42, 0x43, 0x44});
  scan.ScanProPorts(display);
  EXPECT_EQ(display.entries, (std::vector<ListEntry>{{"Pro Widget - Com:  3 : 78563412", 3}}));
  EXPECT_TRUE(reports.messages.empty());
}

TEST_F(PortScanTest, TwoScansAppendTwice) {
  serial().AddPort(4, kWidget4);
  serial().AddPort(7);
  scan.ScanProPorts(display);
  scan.ScanProPorts(display);
  const std::vector<ListEntry> once{{"Pro Widget - Com:  4 : 78563412", 4}, {"Com: 7", 0}};
  std::vector<ListEntry> twice = once;
  twice.insert(twice.end(), once.begin(), once.end());
  EXPECT_EQ(display.entries, twice);
}

TEST_F(PortScanTest, AlreadyOpenPortIsProbedAsPortOne) {
  serial().AddPort(9, kWidget9);
  serial().SetCommPort(9);
  serial().SetPortOpen(true);

  scan.ScanProPorts(display);

  const std::vector<ListEntry> expected{
      {"Pro Widget - Com:  1 : A0030201", 1},
      {"Pro Widget - Com:  9 : A0030201", 9},
  };
  EXPECT_EQ(display.entries, expected);
  EXPECT_EQ(serial().closed, (std::vector<int16_t>{9, 9})) << "closed after pass 1, then its own";
  EXPECT_FALSE(serial().PortOpen());
  EXPECT_TRUE(scan.portIsWidget(1));
}

TEST_F(PortScanTest, LastPortAnsweringLeavesItsSerial) {
  serial().AddPort(16, kWidget4);
  scan.ScanProPorts(display);
  EXPECT_EQ(parser.widgetSerial(), "78563412");
}

// A step that fails is skipped and the pass goes on; a failing test counts
// as passed. Port 5 answers like a widget but one of its properties fails;
// ports 4 and 9 around it are listed as ever.
TEST_F(PortScanTest, FailingStepsAreSkipped) {
  struct Fault {
    const char* name;
    bool FakeSerialComponent::Port::*flag;
    ListEntry entry;
  };
  const Fault faults[] = {
      {"request fails", &FakeSerialComponent::Port::failOutput, {"Com: 5", 0}},
      {"reading fails, serial of port 4 not inherited",
       &FakeSerialComponent::Port::failInput,
       {"Com: 5", 0}},
      {"buffer count fails, counts as data waiting",
       &FakeSerialComponent::Port::failInBufferCount,
       {"Pro Widget - Com:  5 : 78563412", 5}},
  };
  for (const Fault& fault : faults) {
    SCOPED_TRACE(fault.name);
    FakePortTransmitter local;
    FakeProLink localPro{*local.serial};
    ReplyParser localParser{reports};
    ProWidgetProbe localScan{local.transmitter, localPro, localParser, clock, reports};
    RecordingDisplay localDisplay;
    local.serial->AddPort(4, kWidget4);
    local.serial->AddPort(5, kWidget4);
    local.serial->ports[5].pending = "x";  // something waiting, whatever is asked
    local.serial->ports[5].*fault.flag = true;
    local.serial->AddPort(9, kWidget9);

    localScan.ScanProPorts(localDisplay);

    const std::vector<ListEntry> expected{{"Pro Widget - Com:  4 : 78563412", 4},
                                          fault.entry,
                                          {"Pro Widget - Com:  9 : A0030201", 9}};
    EXPECT_EQ(localDisplay.entries, expected);
    EXPECT_EQ(local.serial->closed, (std::vector<int16_t>{4, 5, 9}));
  }
}

// A parse that fails after decoding the serial (here: the result line and
// the message box both fail) leaves the serial text to decide.
TEST_F(PortScanTest, ParseFailingAfterTheSerialStillFindsTheWidget) {
  struct FailingCaptions final : WidgetDisplay {
    void AddListEntry(std::string_view text) override { inner.AddListEntry(text); }
    void SetLastEntryItemData(int32_t data) override { inner.SetLastEntryItemData(data); }
    void SetInfoCaption(std::string_view) override {}
    void SetResultCaption(std::string_view) override { throw std::runtime_error("no label"); }
    RecordingDisplay inner;
  } failing;
  struct FailingReports final : UserReports {
    void ShowMessage(std::string_view) override { throw std::runtime_error("no box"); }
  } noBoxes;
  ReplyParser failingParser{noBoxes};
  ProWidgetProbe failingScan{fake.transmitter, pro, failingParser, clock, noBoxes};
  serial().AddPort(4, kWidget4);

  failingScan.ScanProPorts(failing);

  EXPECT_EQ(failing.inner.entries,
            (std::vector<ListEntry>{{"Pro Widget - Com:  4 : 78563412", 4}}));
}

TEST_F(PortScanTest, OutOfRangePortsReadFalse) {
  serial().AddPort(1);
  scan.ScanProPorts(display);
  EXPECT_TRUE(scan.portPresent(1));
  EXPECT_FALSE(scan.portPresent(0));
  EXPECT_FALSE(scan.portPresent(17));
  EXPECT_FALSE(scan.portIsWidget(-1));
}

}  // namespace
}  // namespace lumivane::test
