// SPDX-License-Identifier: MIT
// lumivane-host receive's reader against the sender's own packets, and
// against datagrams that lie about their length.
#include "host/dmx_packet_reader.h"

#include <gtest/gtest.h>

#include <vector>

#include "network/artnet_packets.h"
#include "network/sacn_packets.h"

namespace lumivane {
namespace {

using host::ReadDmxPacket;
using host::ReceivedUniverse;
using Bytes = std::vector<uint8_t>;

Universe Ramp() {
  Universe universe;
  for (int channel = 1; channel <= kChannelCount; ++channel)
    universe[channel] = static_cast<uint8_t>(channel);
  return universe;
}

Bytes ArtDmx() {
  ArtDmxPacket packet(0x0305);
  const auto bytes = packet.Build(Ramp().levels());
  return {bytes.begin(), bytes.end()};
}

Bytes Sacn(bool terminated) {
  SacnDataPacket packet(63999, {}, "Desk");
  const auto bytes =
      terminated ? packet.BuildTermination(Ramp().levels()) : packet.Build(Ramp().levels());
  return {bytes.begin(), bytes.end()};
}

TEST(DmxPacketReader, ReadsWhatTheSenderBuilds) {
  const auto art = ReadDmxPacket(ArtDmx());
  ASSERT_TRUE(art);
  EXPECT_EQ(art->protocol, ReceivedUniverse::Protocol::kArtNet);
  EXPECT_EQ(art->universe, 0x0305);
  EXPECT_EQ(art->sequence, 1);
  EXPECT_EQ(art->levelCount, 512);
  EXPECT_EQ(art->levels[0], 1);
  EXPECT_EQ(art->levels[511], 0);  // 512 wraps in a byte

  const auto sacn = ReadDmxPacket(Sacn(true));
  ASSERT_TRUE(sacn);
  EXPECT_EQ(sacn->protocol, ReceivedUniverse::Protocol::kSacn);
  EXPECT_EQ(sacn->universe, 63999);
  EXPECT_EQ(sacn->sourceName, "Desk");
  EXPECT_TRUE(sacn->streamTerminated);
  EXPECT_EQ(sacn->levelCount, 512);
  EXPECT_EQ(sacn->levels[1], 2);
  EXPECT_FALSE(ReadDmxPacket(Sacn(false))->streamTerminated);
}

TEST(DmxPacketReader, RefusesWhatIsNoWellFormedDmxPacket) {
  struct Case {
    const char* what;
    Bytes datagram;
  };
  auto artShort = ArtDmx();
  artShort.resize(529);  // the length field says 512
  auto artOdd = ArtDmx();
  artOdd[16] = 0x02, artOdd[17] = 0x01;  // 513
  auto artPoll = ArtDmx();
  artPoll[9] = 0x20;
  auto sacnShort = Sacn(false);
  sacnShort.resize(637);
  auto sacnStartCode = Sacn(false);
  sacnStartCode[125] = 0xCC;  // RDM, not levels
  auto sacnCount = Sacn(false);
  sacnCount[123] = 0x03;  // 0x0301 values
  const auto art = ArtDmx();
  auto sacnVector = Sacn(false);
  sacnVector[21] = 8;  // an extended (sync, discovery) packet
  for (const Case& c :
       {Case{"empty", {}}, Case{"Art-Net cut short", artShort},
        Case{"Art-Net length beyond 512", artOdd}, Case{"ArtPoll", artPoll},
        Case{"sACN cut short", sacnShort}, Case{"sACN start code", sacnStartCode},
        Case{"sACN count beyond 513", sacnCount}, Case{"sACN other vector", sacnVector},
        Case{"header only", Bytes(art.begin(), art.begin() + 10)}}) {
    EXPECT_FALSE(ReadDmxPacket(c.datagram)) << c.what;
  }
}

}  // namespace
}  // namespace lumivane
