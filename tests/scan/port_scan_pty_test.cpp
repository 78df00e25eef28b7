// SPDX-License-Identifier: MIT
// The scan and Test with the real serial component and widget link, over
// pseudo-terminals with simulated widgets behind them.
#include <gtest/gtest.h>

#include "prowidget/pro_widget_probe.h"
#include "prowidget/serial_port_posix.h"
#include "prowidget/widget_link.h"
#include "tests/scan/scan_over_ptys.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_display.h"
#include "tests/support/recording_reports.h"

namespace lumivane {
namespace {

using test::ListEntry;
using test::RecordingDisplay;
using test::RecordingReports;

class ScanOverPtysTest : public ::testing::Test {
 protected:
  test::SimulatedPorts ports;
  DriverState state;
  RecordingReports reports;
  Transmitter transmitter{[this] { return std::make_unique<SerialPortPosix>(ports.map()); }};
  WidgetLink link{state, transmitter, reports};
  ReplyParser parser{reports};
  // Really waits, for the simulated widgets to answer, and counts the waits.
  test::FakeClock clock{test::FakeClock::RealWait::kSpan};
  ProWidgetProbe probe{transmitter, link, parser, clock, reports};
  RecordingDisplay display;
};

const std::vector<ListEntry> kUsualEntries{
    {"Com: 2", 0},  {"Pro Widget - Com:  4 : 12345678", 4},
    {"Com: 6", 0},  {"Pro Widget - Com:  9 : A0B1C2D3", 9},
    {"Com: 11", 0},
};

TEST_F(ScanOverPtysTest, FindsTheWidgetsAndListsThePortsThatOpen) {
  ports.AddTheUsualSet();

  probe.ScanProPorts(display);

  EXPECT_EQ(display.entries, kUsualEntries);
  EXPECT_EQ(clock.SpansMs(), std::vector<int64_t>(5, 50)) << "one wait per port that opened";
  EXPECT_EQ(reports.messages.size(), 1u) << "the garbage port's message";
  EXPECT_FALSE(transmitter.MSComm1().PortOpen());
  for (int port = 1; port <= 16; ++port) {
    const bool present = port == 2 || port == 4 || port == 6 || port == 9 || port == 11;
    EXPECT_EQ(probe.portPresent(port), present) << port;
    EXPECT_EQ(probe.portIsWidget(port), port == 4 || port == 9) << port;
  }
  EXPECT_FALSE(link.proPortOpen()) << "the scan leaves the link's flag alone";
}

TEST_F(ScanOverPtysTest, TwoScansAppendTwice) {
  ports.AddTheUsualSet();
  probe.ScanProPorts(display);
  probe.ScanProPorts(display);  // the late widget's first answer is dropped, not read now
  std::vector<ListEntry> twice = kUsualEntries;
  twice.insert(twice.end(), kUsualEntries.begin(), kUsualEntries.end());
  EXPECT_EQ(display.entries, twice);
}

TEST_F(ScanOverPtysTest, NoPortPresentListsNothingAndNeverWaits) {
  probe.ScanProPorts(display);
  EXPECT_TRUE(display.entries.empty());
  EXPECT_TRUE(clock.Spans().empty());
}

TEST_F(ScanOverPtysTest, TestLeavesItsPortOpenForTheNextScan) {
  ports.Widget(7).SetSerial(0x01020304);

  probe.TestProPort(7, display);
  EXPECT_EQ(display.result, " 10");
  EXPECT_EQ(display.info, "7E A 4 0 4 3 2 1 E7 ");
  EXPECT_TRUE(transmitter.MSComm1().PortOpen());

  probe.ScanProPorts(display);
  const std::vector<ListEntry> expected{
      {"Pro Widget - Com:  1 : 01020304", 1},
      {"Pro Widget - Com:  7 : 01020304", 7},
  };
  EXPECT_EQ(display.entries, expected);
  EXPECT_FALSE(transmitter.MSComm1().PortOpen());
}

TEST_F(ScanOverPtysTest, TestOnSilentMissingAndGarbagePorts) {
  ports.Widget(2).SetReplies(sim::WidgetSimulator::Replies::kSilent);
  probe.TestProPort(2, display);
  EXPECT_EQ(display.result, "Nothing Recieved");
  transmitter.MSComm1().SetPortOpen(false);

  ports.Widget(6).SetReplies(sim::WidgetSimulator::Replies::kGarbage);
  probe.TestProPort(6, display);
  EXPECT_EQ(display.result, "-2");
  EXPECT_EQ(display.info, "0 13 55 AA 11 FF ");
  transmitter.MSComm1().SetPortOpen(false);

  display.result = "unchanged";
  reports.messages.clear();
  probe.TestProPort(3, display);
  EXPECT_EQ(reports.messages,
            std::vector<std::string>{"Failed to open USB DMX Pro on comm port:  3"});
  EXPECT_EQ(display.result, "unchanged");
}

}  // namespace
}  // namespace lumivane
