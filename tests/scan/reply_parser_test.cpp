// SPDX-License-Identifier: MIT
#include "prowidget/reply_parser.h"

#include <gtest/gtest.h>

#include <optional>

#include "prowidget/hex_string.h"
#include "tests/support/bytes.h"
#include "tests/support/recording_display.h"
#include "tests/support/recording_reports.h"

namespace lumivane {
namespace {

using test::Bytes;
using test::RecordingDisplay;
using test::RecordingReports;

struct HexCase {
  const char* name;
  std::string bytes;
  std::string dump;
};

TEST(ToHexString, UpperCaseWithoutLeadingZerosEachFollowedByASpace) {
  const HexCase cases[] = {
      {"empty", "", ""},
      {"initial frame", Bytes({0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7}), "7E 6 1 0 0 E7 "},
      {"one digit and two", Bytes({0x0F, 0x10, 0xFF}), "F 10 FF "},
      {"null bytes kept", Bytes({0x00, 0x00}), "0 0 "},
  };
  for (const HexCase& c : cases) EXPECT_EQ(ToHexString(c.bytes), c.dump) << c.name;
}

const std::string kSerialReply = Bytes({0x7E, 0x0A, 0x04, 0x00, 0x12, 0x34, 0x56, 0x78, 0xE7});
const std::string kSecondReply = Bytes({0x7E, 0x0A, 0x04, 0x00, 0xAA, 0xBB, 0xCC, 0xDD, 0xE7});
constexpr const char* kBadData = "Bad data received from widget, not start of message: ";

// Marks the failure handler's message, whose words are our own.
const std::string kAnyFailureMessage = "<failure>";

struct ParseCase {
  const char* name;
  std::string reply;
  int32_t result;
  std::string trimmed;
  std::string serial = {};                  // widgetSerial afterwards
  std::optional<std::string> caption = {};  // lblResult; nullopt: untouched
  std::optional<std::string> message = {};  // the one message box, if any
  uint8_t fwLow = 0;
  uint8_t fwHigh = 0;
};

std::string Repeat(uint8_t byte, size_t count) {
  return std::string(count, static_cast<char>(byte));
}

std::vector<ParseCase> ParseCases() {
  const std::string noStart = Bytes({0x01, 0x02, 0x03, 0x04});
  const std::string tooLong = Bytes({0x7E, 0x0A}) + Repeat(0x00, 599);
  const std::string exactly600 = Bytes({0x7E, 0x06}) + Repeat(0x00, 597) + Bytes({0xE7});
  const std::string longNoStart = Repeat(0x41, 700);
  const std::string firmware = Bytes({0x7E, 0x03, 0x05, 0x00, 0x2C, 0x01, 0x00, 0x00, 0x00, 0xE7});
  return {
      {"empty reply", "", -1, ""},
      {"serial number", kSerialReply, 10, kSerialReply, "78563412", "serial number:  78563412"},
      {"stray bytes before the start", Bytes({0x00, 0xFF}) + kSerialReply, 10, kSerialReply,
       "78563412", "serial number:  78563412"},
      {"end delimiter before the start", Bytes({0xE7}) + kSerialReply, 10, kSerialReply, "78563412",
       "serial number:  78563412"},
      {"two messages, only the first read", kSerialReply + kSecondReply, 10, kSerialReply,
       "78563412", "serial number:  78563412"},
      {"0xE7 inside the serial number",
       Bytes({0x7E, 0x0A, 0x04, 0x00, 0x12, 0xE7, 0x56, 0x78, 0xE7}), 10,
       Bytes({0x7E, 0x0A, 0x04, 0x00, 0x12, 0xE7}), "00E712", "serial number:  00E712"},
      {"byte 05 keeps its leading zero",
       Bytes({0x7E, 0x0A, 0x04, 0x00, 0x05, 0x34, 0x56, 0x78, 0xE7}), 10,
       Bytes({0x7E, 0x0A, 0x04, 0x00, 0x05, 0x34, 0x56, 0x78, 0xE7}), "78563405",
       "serial number:  78563405"},
      {"cut to 4 by the end delimiter", Bytes({0x7E, 0x0A, 0x04, 0xE7, 0x12}), 10,
       Bytes({0x7E, 0x0A, 0x04, 0xE7}), "0000", "serial number:  0000"},
      {"cut to 4 characters", Bytes({0x7E, 0x0A, 0x04, 0x00}), 10, Bytes({0x7E, 0x0A, 0x04, 0x00}),
       "0000", "serial number:  0000"},
      {"length bytes that lie", Bytes({0x7E, 0x0A, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78, 0xE7}), 10,
       Bytes({0x7E, 0x0A, 0x00, 0x00, 0x12, 0x34, 0x56, 0x78, 0xE7}), "78563412",
       "serial number:  78563412"},
      {"end delimiter right after the start", Bytes({0x7E, 0xE7, 0x0A, 0x04, 0x00}), -1,
       Bytes({0x7E, 0xE7})},
      {"three characters without a start", Bytes({0x01, 0x02, 0x03}), -1,
       Bytes({0x01, 0x02, 0x03})},
      {"four characters without a start",
       noStart,
       -2,
       noStart,
       {},
       {},
       std::string(kBadData) + "1 2 3 4 "},
      {"over 600 without a start",
       longNoStart,
       -2,
       longNoStart,
       {},
       {},
       std::string(kBadData) + ToHexString(longNoStart)},
      {"no end delimiter, over 600", Bytes({0x00}) + tooLong, -3, tooLong},
      {"exactly 600 passes", exactly600, 6, exactly600},
      {"label 6 undecoded", Bytes({0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7}), 6,
       Bytes({0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7})},
      {"firmware version", firmware, 3, firmware, {}, "Firmware: 1.44", {}, 0x2C, 0x01},
      {"label-3 reply of 5 characters",
       Bytes({0x7E, 0x03, 0x05, 0x00, 0x2C}),
       3,
       Bytes({0x7E, 0x03, 0x05, 0x00, 0x2C}),
       {},
       {},
       kAnyFailureMessage,
       0x2C,
       0x00},
      {"label-3 reply cut to 4 by its end",
       Bytes({0x7E, 0x03, 0x05, 0xE7, 0x2C, 0x01}),
       3,
       Bytes({0x7E, 0x03, 0x05, 0xE7}),
       {},
       {},
       kAnyFailureMessage},
  };
}

TEST(ParseProReply, TableOfReplies) {
  for (const ParseCase& c : ParseCases()) {
    SCOPED_TRACE(c.name);
    RecordingReports reports;
    RecordingDisplay display;
    ReplyParser parser(reports);
    std::string reply = c.reply;

    // The decoder alone reads the same, with nothing to show on.
    const ProReply decoded = DecodeProReply(c.reply);
    EXPECT_EQ(decoded.code, c.result);
    EXPECT_EQ(decoded.trimmed, c.trimmed);
    EXPECT_EQ(decoded.serial.value_or(""), c.serial);
    EXPECT_EQ(decoded.resultCaption, c.caption.value_or(""));
    EXPECT_EQ(decoded.message.empty(), !c.message);
    EXPECT_EQ(decoded.fwVersionLow.value_or(0), c.fwLow);
    EXPECT_EQ(decoded.fwVersionHigh.value_or(0), c.fwHigh);

    EXPECT_EQ(parser.ParseProReply(reply, display), c.result);

    EXPECT_EQ(display.info, ToHexString(c.reply)) << "the dump is of the reply as received";
    EXPECT_EQ(reply, c.trimmed);
    EXPECT_EQ(parser.widgetSerial(), c.serial);
    EXPECT_EQ(display.result, c.caption.value_or("Test Result"));
    EXPECT_EQ(parser.fwVersionLow(), c.fwLow);
    EXPECT_EQ(parser.fwVersionHigh(), c.fwHigh);
    if (!c.message) {
      EXPECT_TRUE(reports.messages.empty());
    } else {
      ASSERT_EQ(reports.messages.size(), 1u);
      if (*c.message == kAnyFailureMessage) {
        EXPECT_EQ(reports.messages[0].find(kBadData), std::string::npos);
        EXPECT_FALSE(reports.messages[0].empty());
      } else {
        EXPECT_EQ(reports.messages[0], *c.message);
      }
    }
  }
}

// The dumps as the user reads them, written out once.
TEST(ParseProReply, InfoLineShowsTheDumpAsReceived) {
  RecordingReports reports;
  RecordingDisplay display;
  ReplyParser parser(reports);
  std::string reply = Bytes({0x00, 0xFF}) + kSerialReply;
  parser.ParseProReply(reply, display);
  EXPECT_EQ(display.info, "0 FF 7E A 4 0 12 34 56 78 E7 ");

  reply = Bytes({0x7E, 0x0A, 0x04, 0x00, 0x05, 0x34, 0x56, 0x78, 0xE7});
  parser.ParseProReply(reply, display);
  EXPECT_EQ(display.info, "7E A 4 0 5 34 56 78 E7 ");
  EXPECT_EQ(parser.widgetSerial(), "78563405");

  reply.clear();
  parser.ParseProReply(reply, display);
  EXPECT_EQ(display.info, "");
}

// Only a serial-number reply sets the serial text; the firmware bytes are
// cleared by every parse.
TEST(ParseProReply, StateKeptBetweenParses) {
  RecordingReports reports;
  RecordingDisplay display;
  ReplyParser parser(reports);
  std::string reply = kSerialReply;
  parser.ParseProReply(reply, display);
  reply = Bytes({0x7E, 0x03, 0x05, 0x00, 0x2C, 0x01, 0xE7});
  EXPECT_EQ(parser.ParseProReply(reply, display), 3);
  EXPECT_EQ(parser.fwVersionHigh(), 1);

  for (std::string other : {std::string(), Bytes({0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7}),
                            Bytes({0x01, 0x02, 0x03, 0x04})}) {
    parser.ParseProReply(other, display);
    EXPECT_EQ(parser.widgetSerial(), "78563412");
    EXPECT_EQ(parser.fwVersionLow(), 0);
    EXPECT_EQ(parser.fwVersionHigh(), 0);
  }
  EXPECT_EQ(display.result, "Firmware: 1.44") << "only labels 3 and 10 write the result line";

  reply = kSecondReply;
  parser.ParseProReply(reply, display);
  EXPECT_EQ(parser.widgetSerial(), "DDCCBBAA");
  parser.ClearWidgetSerial();
  EXPECT_EQ(parser.widgetSerial(), "");
}

}  // namespace
}  // namespace lumivane
