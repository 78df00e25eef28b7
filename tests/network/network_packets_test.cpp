// SPDX-License-Identifier: MIT
// The bytes of ArtDmx, ArtPoll and sACN data packets, field by field, and
// the ArtPollReply parser against good, short and foreign datagrams.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "network/artnet_packets.h"
#include "network/name_text.h"
#include "network/sacn_packets.h"

namespace lumivane {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Bytes = std::vector<uint8_t>;

Universe Ramp() {
  Universe universe;
  for (int channel = 1; channel <= kChannelCount; ++channel) {
    universe[channel] = static_cast<uint8_t>(channel * 7);
  }
  return universe;
}

Bytes Copy(std::span<const uint8_t> bytes) {
  return {bytes.begin(), bytes.end()};
}

Bytes Slice(std::span<const uint8_t> bytes, size_t from, size_t count) {
  return Copy(bytes.subspan(from, count));
}

TEST(ArtDmxPacket, HeaderThenTheLevels) {
  ArtDmxPacket packet(0x0123);
  const auto bytes = packet.Build(Ramp().levels());
  ASSERT_EQ(bytes.size(), 530u);
  EXPECT_THAT(Slice(bytes, 0, 18), ElementsAre('A', 'r', 't', '-', 'N', 'e', 't', 0,  //
                                               0x00, 0x50,    // OpDmx, little-endian
                                               0, 14,         // protocol 14
                                               1,             // sequence
                                               0,             // physical
                                               0x23, 0x01,    // SubUni, Net
                                               0x02, 0x00));  // 512, big-endian
  EXPECT_THAT(Slice(bytes, 18, 512), ElementsAreArray(Ramp().levels()));
}

TEST(ArtDmxPacket, PortAddressSplitsIntoSubUniAndNet) {
  struct Case {
    uint16_t portAddress;
    uint8_t subUni, net;
  };
  for (const Case c : {Case{0, 0, 0}, Case{1, 1, 0}, Case{0x10, 0x10, 0}, Case{0x100, 0, 1},
                       Case{32767, 0xFF, 0x7F}}) {
    ArtDmxPacket packet(c.portAddress);
    const auto bytes = packet.Build(Universe().levels());
    EXPECT_EQ(bytes[14], c.subUni) << c.portAddress;
    EXPECT_EQ(bytes[15], c.net) << c.portAddress;
  }
}

TEST(ArtDmxPacket, SequenceRunsOneTo255AndWrapsToOneNeverZero) {
  ArtDmxPacket packet(0);
  std::vector<int> sequence;
  for (int i = 0; i < 512; ++i) sequence.push_back(packet.Build(Universe().levels())[12]);
  EXPECT_EQ(sequence[0], 1);
  EXPECT_EQ(sequence[254], 255);
  EXPECT_EQ(sequence[255], 1);
  EXPECT_EQ(std::count(sequence.begin(), sequence.end(), 0), 0);
}

TEST(ArtPollPacket, AsksEveryNode) {
  EXPECT_THAT(Copy(ArtPollPacket()),
              ElementsAre('A', 'r', 't', '-', 'N', 'e', 't', 0, 0x00, 0x20, 0, 14, 0, 0));
}

NetworkSettings::Cid TestCid() {
  NetworkSettings::Cid cid{};
  for (size_t i = 0; i < cid.size(); ++i) cid[i] = static_cast<uint8_t>(0xA0 + i);
  return cid;
}

TEST(SacnDataPacket, EveryHeaderField) {
  SacnDataPacket packet(0x1234, TestCid(), "Lumivane");
  const auto bytes = packet.Build(Ramp().levels());
  ASSERT_EQ(bytes.size(), 638u);
  EXPECT_THAT(Slice(bytes, 0, 22), ElementsAre(0x00, 0x10, 0x00, 0x00,  // pre-, post-amble
                                               'A', 'S', 'C', '-', 'E', '1', '.', '1', '7', 0, 0, 0,
                                               0x72, 0x6E,  // root flags, 638 - 16
                                               0, 0, 0, 4));
  EXPECT_THAT(Slice(bytes, 22, 16), ElementsAreArray(TestCid()));
  EXPECT_THAT(Slice(bytes, 38, 6), ElementsAre(0x72, 0x58, 0, 0, 0, 2));  // 638 - 38
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[44])), "Lumivane");
  EXPECT_THAT(Slice(bytes, 52, 56), ElementsAreArray(Bytes(56, 0)));  // NUL-padded
  EXPECT_THAT(Slice(bytes, 108, 7), ElementsAre(100,                  // priority
                                                0, 0,                 // no synchronisation
                                                0,                    // sequence
                                                0,                    // options
                                                0x12, 0x34));
  EXPECT_THAT(Slice(bytes, 115, 11), ElementsAre(0x72, 0x0B,                          // 638 - 115
                                                 0x02, 0xA1, 0, 0, 0, 1, 0x02, 0x01,  // 513 values
                                                 0));                                 // start code
  EXPECT_THAT(Slice(bytes, 126, 512), ElementsAreArray(Ramp().levels()));
}

TEST(SacnDataPacket, SequenceCountsOnThroughTerminationAndWraps) {
  SacnDataPacket packet(1, TestCid(), "x");
  std::vector<int> sequence;
  for (int i = 0; i < 256; ++i) sequence.push_back(packet.Build(Universe().levels())[111]);
  EXPECT_EQ(sequence.front(), 0);
  EXPECT_EQ(sequence.back(), 255);
  const auto last = packet.BuildTermination(Universe().levels());
  EXPECT_EQ(last[111], 0);
  EXPECT_EQ(last[112], SacnDataPacket::kStreamTerminated);
  EXPECT_EQ(packet.Build(Universe().levels())[112], 0) << "a data packet again carries no option";
  EXPECT_EQ(packet.TerminationCount(), 3);
}

TEST(SacnDataPacket, SourceNameIsCutTo63BytesNeverInsideACharacter) {
  struct Case {
    std::string name, expected;
  };
  const std::string sixtyTwo(62, 'a');
  for (const Case& c :
       {Case{std::string(70, 'n'), std::string(63, 'n')},
        Case{sixtyTwo + "\xC3\xA4", sixtyTwo},  // ä would end at 64
        Case{sixtyTwo.substr(1) + "\xC3\xA4", sixtyTwo.substr(1) + "\xC3\xA4"}, Case{"", ""}}) {
    SacnDataPacket packet(1, TestCid(), c.name);
    const auto bytes = packet.Build(Universe().levels());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[44])), c.expected) << c.name;
    EXPECT_EQ(bytes[44 + 63], 0);
  }
}

TEST(SacnMulticastAddress, IsTheUniverseInTheLastTwoBytes) {
  EXPECT_THAT(SacnMulticastAddress(1), ElementsAre(239, 255, 0, 1));
  EXPECT_THAT(SacnMulticastAddress(256), ElementsAre(239, 255, 1, 0));
  EXPECT_THAT(SacnMulticastAddress(63999), ElementsAre(239, 255, 0xF9, 0xFF));
}

// An ArtPollReply of the full 239 bytes.
Bytes Reply(std::string_view shortName, std::string_view longName) {
  Bytes reply(239, 0);
  const std::string id = std::string("Art-Net") + '\0';
  std::copy(id.begin(), id.end(), reply.begin());
  reply[8] = 0x00, reply[9] = 0x21;
  reply[10] = 10, reply[11] = 77, reply[12] = 0, reply[13] = 1;
  reply[14] = 0x36, reply[15] = 0x19;
  reply[18] = 0x02, reply[19] = 0x03;  // Net 2, Sub-Net 3
  std::copy(shortName.begin(), shortName.end(), reply.begin() + 26);
  std::copy(longName.begin(), longName.end(), reply.begin() + 44);
  reply[173] = 2;                        // two ports
  reply[174] = 0x80, reply[175] = 0x80;  // both output
  reply[190] = 0x04, reply[191] = 0x05;
  return reply;
}

TEST(ParseArtPollReply, ReadsNameAddressAndOutputPortAddresses) {
  const auto node = ParseArtPollReply(Reply("Short", "Stage left node"));
  ASSERT_TRUE(node);
  EXPECT_EQ(node->name, "Stage left node");
  EXPECT_THAT(node->address, ElementsAre(10, 77, 0, 1));
  EXPECT_THAT(node->outputPortAddresses, ElementsAre(0x234, 0x235));
}

TEST(ParseArtPollReply, IgnoresWhatIsNoWholeReply) {
  const Bytes good = Reply("s", "l");
  struct Case {
    const char* what;
    Bytes datagram;
  };
  auto otherOp = good;
  otherOp[9] = 0x20;  // an ArtPoll (ours, looped back)
  auto otherId = good;
  otherId[0] = 'a';
  auto noNul = good;
  noNul[7] = ' ';
  for (const Case& c : {Case{"empty", {}}, Case{"id only", Bytes(good.begin(), good.begin() + 8)},
                        Case{"one byte short of SwOut", Bytes(good.begin(), good.begin() + 193)},
                        Case{"another OpCode", otherOp}, Case{"another protocol", otherId},
                        Case{"id without its NUL", noNul}}) {
    EXPECT_FALSE(ParseArtPollReply(c.datagram)) << c.what;
  }
  EXPECT_TRUE(ParseArtPollReply(Bytes(good.begin(), good.begin() + 194)))
      << "an older, shorter reply that holds every field used";
}

TEST(ParseArtPollReply, NamesComeOutAsValidUtf8) {
  struct Case {
    const char* what;
    Bytes shortName, longName;
    std::string expected;
  };
  const std::string fffd = "\xEF\xBF\xBD";
  for (const Case& c : {
           Case{"long name first", {'S'}, {'L'}, "L"},
           Case{"short name when the long one is empty", {'S'}, {}, "S"},
           Case{"UTF-8 kept", {}, {0xC3, 0xA4, 'x'}, "\xC3\xA4x"},
           Case{"Latin-1 byte", {}, {'B', 0xFC, 'h'}, "B" + fffd + "h"},
           Case{"cut character at the field's end", {}, Bytes(63, 'a'), std::string(63, 'a')},
           Case{"overlong form", {}, {0xC0, 0xAF}, fffd + fffd},
           Case{"surrogate", {}, {0xED, 0xA0, 0x80}, fffd + fffd + fffd},
           Case{"control characters",
                {},
                {'a', 0x1B, '[', 0x7F, 0xC2, 0x9B},
                "a" + fffd + "[" + fffd + fffd},
       }) {
    auto reply = Reply("", "");
    std::copy(c.shortName.begin(), c.shortName.end(), reply.begin() + 26);
    std::copy(c.longName.begin(), c.longName.end(), reply.begin() + 44);
    const auto node = ParseArtPollReply(reply);
    ASSERT_TRUE(node) << c.what;
    EXPECT_EQ(node->name, c.expected) << c.what;
  }
}

TEST(ParseArtPollReply, NameFillingItsWholeFieldStopsAtTheField) {
  auto reply = Reply("", "");
  std::fill(reply.begin() + 44, reply.begin() + 108, 'z');  // no NUL inside the long name
  reply[108] = 'X';
  EXPECT_EQ(ParseArtPollReply(reply)->name, std::string(64, 'z'));
  // A cut character at the field's end is replaced, not completed from the next field.
  reply[107] = 0xC3;
  reply[108] = 0xA4;
  EXPECT_EQ(ParseArtPollReply(reply)->name, std::string(63, 'z') + "\xEF\xBF\xBD");
}

TEST(ParseArtPollReply, OnlyPortsThatOutputCountAndAtMostFour) {
  auto reply = Reply("", "n");
  reply[173] = 9;  // more than the four a reply can describe
  reply[174] = 0x40, reply[175] = 0x80, reply[176] = 0xC0, reply[177] = 0x80;  // input only first
  reply[190] = 0x01, reply[191] = 0xF2, reply[192] = 0x03, reply[193] = 0x04;
  reply[18] = 0xFF, reply[19] = 0xFF;  // only the 7 and 4 bits a Port-Address has
  EXPECT_THAT(ParseArtPollReply(reply)->outputPortAddresses, ElementsAre(0x7FF2, 0x7FF3, 0x7FF4));
}

}  // namespace
}  // namespace lumivane
