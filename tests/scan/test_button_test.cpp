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

const std::string kWidgetReply = Bytes({0x7E, 0x0A, 0x04, 0x00, 0x12, 0x34, 0x56, 0x78, 0xE7});

class PortTestTest : public ::testing::Test {
 protected:
  FakeSerialComponent& serial() { return *fake.serial; }
  void Test(int16_t port) {
    ProWidgetProbe{fake.transmitter, pro, parser, clock, reports}.TestProPort(port, display);
  }

  FakePortTransmitter fake;
  FakeProLink pro{*fake.serial};
  RecordingReports reports;
  ReplyParser parser{reports};
  test::FakeClock clock;
  RecordingDisplay display;
};

TEST_F(PortTestTest, WidgetAnswersWithItsSerialNumber) {
  serial().AddPort(3, kWidgetReply);
  serial().ports[3].pending = Bytes({0x41, 0x42, 0x43, 0x44});  // dropped before the request
  Test(3);
  EXPECT_EQ(display.result, " 10") << "the code replaces the decoded serial";
  EXPECT_EQ(display.info, "7E A 4 0 12 34 56 78 E7 ");
  EXPECT_EQ(parser.widgetSerial(), "78563412");
  EXPECT_EQ(clock.SpansMs(), std::vector<int64_t>{100});
  EXPECT_EQ(serial().writes, (std::vector<std::pair<int16_t, std::string>>{{3, kSerialRequest}}));
  EXPECT_TRUE(serial().PortOpen()) << "Test leaves its port open";
  EXPECT_TRUE(reports.messages.empty());
}

TEST_F(PortTestTest, ResultLineShowsWhatCameBack) {
  struct Case {
    const char* name;
    std::string answer;
    std::string result;
    size_t messages;
  };
  const Case cases[] = {
      {"silent port", "", "Nothing Recieved", 0},
      {"garbage", Bytes({0x41, 0x42, 0x43, 0x44}), "-2", 1},
      {"too short", Bytes({0x7E}), "-1", 0},
      {"another label", Bytes({0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7}), " 6", 0},
      {"firmware", Bytes({0x7E, 0x03, 0x02, 0x00, 0x2C, 0x01, 0xE7}), " 3", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakePortTransmitter local;
    FakeProLink localPro{*local.serial};
    RecordingReports localReports;
    ReplyParser localParser{localReports};
    RecordingDisplay localDisplay;
    local.serial->AddPort(5, c.answer);
    ProWidgetProbe{local.transmitter, localPro, localParser, clock, localReports}.TestProPort(
        5, localDisplay);
    EXPECT_EQ(localDisplay.result, c.result);
    EXPECT_EQ(localReports.messages.size(), c.messages);
  }
}

TEST_F(PortTestTest, PortThatStaysClosedIsReported) {
  display.result = "earlier";
  Test(7);
  EXPECT_EQ(reports.messages,
            std::vector<std::string>{"Failed to open USB DMX Pro on comm port:  7"});
  EXPECT_EQ(display.result, "earlier");
  EXPECT_EQ(pro.requests(), 0);
  EXPECT_TRUE(clock.Spans().empty());

  reports.messages.clear();
  Test(-1);  // refused as a number: the open acts on the port held before, also missing
  EXPECT_EQ(reports.messages,
            std::vector<std::string>{"Failed to open USB DMX Pro on comm port: -1"});
}

TEST_F(PortTestTest, RefusedNumberOpensThePortHeldBefore) {
  serial().AddPort(1, kWidgetReply);  // the component's number before any choice
  Test(300);
  EXPECT_EQ(serial().opened, std::vector<int16_t>{1});
  EXPECT_EQ(display.result, " 10");
}

TEST_F(PortTestTest, OpenPortIsTestedWhateverItsNumber) {
  serial().AddPort(2, kWidgetReply);
  serial().AddPort(6);
  Test(2);
  Test(6);  // port 2 still open: tested again, not closed, 6 not opened
  EXPECT_EQ(serial().opened, std::vector<int16_t>{2});
  EXPECT_TRUE(serial().closed.empty());
  EXPECT_EQ(pro.requests(), 2);
  EXPECT_EQ(display.result, " 10");
  EXPECT_TRUE(reports.messages.empty());
}

TEST_F(PortTestTest, FailingReadIsSkippedQuietly) {
  serial().AddPort(4, kWidgetReply);
  serial().ports[4].failInput = true;
  Test(4);
  EXPECT_EQ(display.result, "Test Result");
  EXPECT_TRUE(reports.messages.empty());
  EXPECT_TRUE(serial().PortOpen());
}

}  // namespace
}  // namespace lumivane::test
