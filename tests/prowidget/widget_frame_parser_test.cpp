// SPDX-License-Identifier: MIT
#include "host/widget_frame_parser.h"

#include <gtest/gtest.h>

namespace lumivane::sim {
namespace {

using Bytes = std::vector<uint8_t>;

struct ParseCase {
  const char* name;
  Bytes input;
  std::vector<Bytes> messages;  // as they come out, delimiters included
  uint64_t dropped;
};

TEST(WidgetFrameParserTest, FindsMessagesAndResynchronises) {
  const Bytes init{0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7};
  const Bytes serial{0x7E, 0x0A, 0x01, 0x00, 0x00, 0xE7};
  const Bytes delimiters{0x7E, 0x06, 0x03, 0x00, 0x00, 0x7E, 0xE7, 0xE7};
  const std::vector<ParseCase> cases{
      {"one message", init, {init}, 0},
      {"two in a row", {0x7E, 6, 1, 0, 0, 0xE7, 0x7E, 10, 1, 0, 0, 0xE7}, {init, serial}, 0},
      {"delimiters inside the payload", delimiters, {delimiters}, 0},
      {"empty payload", {0x7E, 0x03, 0x00, 0x00, 0xE7}, {{0x7E, 0x03, 0x00, 0x00, 0xE7}}, 0},
      {"stray bytes before the start", {0x00, 0x55, 0xE7, 0x7E, 6, 1, 0, 0, 0xE7}, {init}, 3},
      {"missing end delimiter, next start right after",
       {0x7E, 6, 1, 0, 0, 0x7E, 10, 1, 0, 0, 0xE7},
       {serial},
       5},
      {"wrong end delimiter", {0x7E, 6, 1, 0, 0, 0x00, 0x7E, 6, 1, 0, 0, 0xE7}, {init}, 6},
      {"length above the maximum", {0x7E, 6, 0xFF, 0xFF, 0x7E, 6, 1, 0, 0, 0xE7}, {init}, 4},
      {"cut short", {0x7E, 6, 1, 0}, {}, 0},
  };
  for (const ParseCase& c : cases) {
    WidgetFrameParser parser;
    std::vector<Bytes> got;
    for (const WidgetFrame& frame : parser.Feed(c.input)) got.push_back(frame.bytes());
    EXPECT_EQ(got, c.messages) << c.name;
    EXPECT_EQ(parser.droppedBytes(), c.dropped) << c.name;
  }
}

TEST(WidgetFrameParserTest, AMessageSplitAcrossFeedsIsWhole) {
  const Bytes init{0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7};
  WidgetFrameParser parser;
  for (size_t i = 0; i + 1 < init.size(); ++i) {
    EXPECT_TRUE(parser.Feed(std::span(init).subspan(i, 1)).empty());
  }
  const auto done = parser.Feed(std::span(init).last(1));
  ASSERT_EQ(done.size(), 1u);
  EXPECT_EQ(done[0].label, 6);
  EXPECT_EQ(done[0].payload, Bytes{0x00});
}

}  // namespace
}  // namespace lumivane::sim
