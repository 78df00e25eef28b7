// SPDX-License-Identifier: MIT
#include "prowidget/widget_message.h"

#include <gtest/gtest.h>

#include "core/failure.h"
#include "tests/support/expect_failure.h"

namespace lumivane {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes AsBytes(std::string_view text) {
  return Bytes(text.begin(), text.end());
}

Bytes UniverseBytes(const Universe& data) {
  Bytes out{0x7E, 0x06, 0x01, 0x02, 0x00};
  for (int channel = 1; channel <= kChannelCount; ++channel) out.push_back(data[channel]);
  out.push_back(0xE7);
  return out;
}

TEST(WidgetMessageTest, FixedMessages) {
  EXPECT_EQ(AsBytes(InitialFrame()), (Bytes{0x7E, 0x06, 0x01, 0x00, 0x00, 0xE7}));
  EXPECT_EQ(AsBytes(SerialNumberRequest()), (Bytes{0x7E, 0x0A, 0x01, 0x00, 0x00, 0xE7}));
}

TEST(WidgetMessageTest, UniverseFrames) {
  struct Case {
    const char* name;
    std::vector<std::pair<int, uint8_t>> levels;
  };
  const std::vector<Case> cases{
      {"all zero", {}},
      {"first and last channel", {{1, 1}, {512, 255}}},
      {"delimiters as levels, unescaped", {{2, 0x7E}, {3, 0xE7}, {4, 0x7E}}},
      {"full", {{100, 0xFF}, {101, 0x00}, {300, 0x80}}},
  };
  UniverseFrame frame;  // one buffer for every case: nothing may leak between builds
  for (const Case& c : cases) {
    Universe data;
    for (auto [channel, level] : c.levels) data[channel] = level;
    const std::string_view built = frame.Build(data);
    EXPECT_EQ(built.size(), 518u) << c.name;
    EXPECT_EQ(AsBytes(built), UniverseBytes(data)) << c.name;
  }
}

TEST(WidgetMessageTest, TheBufferIsReused) {
  UniverseFrame frame;
  Universe data;
  const char* first = frame.Build(data).data();
  data[7] = 9;
  EXPECT_EQ(frame.Build(data).data(), first);
}

TEST(WidgetMessageTest, PayloadLengthBytes) {
  struct Case {
    int16_t length;
    uint8_t low, high;
  };
  for (const Case& c : {Case{0, 0, 0}, Case{1, 1, 0}, Case{255, 255, 0}, Case{256, 0, 1},
                        Case{511, 255, 1}, Case{512, 0, 2}, Case{513, 1, 2}, Case{767, 255, 2}}) {
    const PayloadLength got = EncodePayloadLength(c.length);
    EXPECT_EQ(got.low, c.low) << c.length;
    EXPECT_EQ(got.high, c.high) << c.length;
  }
  for (int16_t bad : {int16_t{768}, int16_t{-1}, int16_t{32767}}) {
    EXPECT_FAILURE(EncodePayloadLength(bad), 6) << bad;
  }
}

}  // namespace
}  // namespace lumivane
