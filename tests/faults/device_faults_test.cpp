// SPDX-License-Identifier: MIT
// A device that floods the port with garbage while the port scan or the
// Test button waits for its answer, over a real pty: the parser's codes and
// messages come out as for any reply, nothing beyond the 1024-byte receive
// buffer is kept, and the next probe of a good widget finds it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/widget_simulator.h"
#include "posix/clock_posix.h"
#include "prowidget/port_map_posix.h"
#include "prowidget/pro_widget_probe.h"
#include "prowidget/serial_port_posix.h"
#include "prowidget/widget_link.h"
#include "tests/faults/fault_support.h"
#include "tests/support/recording_display.h"
#include "tests/support/recording_reports.h"

namespace lumivane::test {
namespace {

using sim::WidgetSimulator;
constexpr int16_t kPort = 3;
constexpr size_t kFlood = 5000;  // well beyond the receive buffer and a pty's buffer

std::vector<uint8_t> Flood(std::vector<uint8_t> head, uint8_t filler) {
  head.resize(head.size() + kFlood, filler);
  return head;
}

// Values in a dump ("7E 0 55 "): one space after each.
size_t DumpedBytes(const std::string& dump) {
  return static_cast<size_t>(std::count(dump.begin(), dump.end(), ' '));
}

const std::string kBadStart = "Bad data received from widget, not start of message: ";

class DeviceFaults : public ::testing::Test {
 protected:
  DeviceFaults() { PortMap(ports.path()).Link(kPort, widget.devicePath()); }

  void Test() {
    display = RecordingDisplay{};
    reports.messages.clear();
    ProWidgetProbe{transmitter, link, parser, clock, reports}.TestProPort(kPort, display);
  }
  SerialComponent& port() { return transmitter.MSComm1(); }

  TempFolder ports;
  WidgetSimulator widget;
  DriverState state;
  Transmitter transmitter{
      [this] { return std::make_unique<SerialPortPosix>(PortMap(ports.path())); }};
  RecordingReports reports;
  WidgetLink link{state, transmitter, reports};
  ReplyParser parser{reports};
  PosixClock clock;
  RecordingDisplay display;
};

TEST_F(DeviceFaults, GarbageFloodDuringTestGivesTheParsersCodesWithinTheBuffer) {
  struct Case {
    const char* what;
    std::vector<uint8_t> flood;
    std::string result;
    bool badStartMessage;
  };
  const std::vector<Case> cases = {
      {"no start delimiter anywhere", Flood({}, 0x55), "-2", true},
      {"a start and then no end", Flood({0x7E, 0x0A}, 0x00), "-3", false},
      {"an answer and garbage after it",
       Flood({0x7E, 0x0A, 0x04, 0x00, 0x12, 0x34, 0x56, 0x78, 0xE7}, 0xE7), " 10", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    widget.SetGarbage(c.flood);
    widget.SetReplies(WidgetSimulator::Replies::kGarbage);
    Test();
    EXPECT_EQ(display.result, c.result);
    EXPECT_LE(DumpedBytes(display.info), SerialPortPosix::kReceiveBufferSize);
    EXPECT_GT(DumpedBytes(display.info), 0u);
    if (c.badStartMessage) {
      ASSERT_EQ(reports.messages.size(), 1u);
      EXPECT_EQ(reports.messages[0].rfind(kBadStart, 0), 0u) << reports.messages[0];
      EXPECT_LE(DumpedBytes(reports.messages[0].substr(kBadStart.size())),
                SerialPortPosix::kReceiveBufferSize);
    } else {
      EXPECT_TRUE(reports.messages.empty());
    }
    EXPECT_LE(port().InBufferCount(), static_cast<int16_t>(SerialPortPosix::kReceiveBufferSize));
    EXPECT_LE(port().Input().size(), SerialPortPosix::kReceiveBufferSize);
  }

  // The flood is over: a good answer is found again (what was left of the
  // flood is dropped before each request; give it a few tries to drain).
  widget.SetReplies(WidgetSimulator::Replies::kAnswer);
  int attempts = 0;
  do {
    Test();
  } while (++attempts < 5 && display.result != " 10");
  EXPECT_EQ(display.result, " 10");
  EXPECT_EQ(parser.widgetSerial(), "12345678");
  EXPECT_TRUE(port().PortOpen()) << "Test leaves the port open";
}

TEST_F(DeviceFaults, GarbageFloodDuringScanListsThePortAsNoWidget) {
  widget.SetGarbage(Flood({}, 0x13));
  widget.SetReplies(WidgetSimulator::Replies::kGarbage);
  ProWidgetProbe scan(transmitter, link, parser, clock, reports);
  scan.ScanProPorts(display);
  ASSERT_EQ(display.entries.size(), 1u);
  EXPECT_EQ(display.entries[0].text, "Com: 3");
  EXPECT_EQ(display.entries[0].itemData, 0);
  EXPECT_TRUE(scan.portPresent(kPort));
  EXPECT_FALSE(scan.portIsWidget(kPort));
  ASSERT_EQ(reports.messages.size(), 1u);
  EXPECT_EQ(reports.messages[0].rfind(kBadStart, 0), 0u);
  EXPECT_LE(DumpedBytes(display.info), SerialPortPosix::kReceiveBufferSize);
  EXPECT_FALSE(port().PortOpen()) << "the scan leaves the port closed";

  widget.SetReplies(WidgetSimulator::Replies::kAnswer);
  RecordingDisplay again;
  scan.ScanProPorts(again);
  ASSERT_EQ(again.entries.size(), 1u);
  EXPECT_EQ(again.entries[0].text, "Pro Widget - Com:  3 : 12345678");
  EXPECT_EQ(again.entries[0].itemData, 3);
}

}  // namespace
}  // namespace lumivane::test
