// SPDX-License-Identifier: MIT
#include "network/artnet_packets.h"

#include <algorithm>
#include <array>

#include "network/name_text.h"

namespace lumivane {
namespace {

constexpr std::array<uint8_t, 8> kArtNetId{'A', 'r', 't', '-', 'N', 'e', 't', 0};
constexpr uint16_t kOpPoll = 0x2000;
constexpr uint16_t kOpPollReply = 0x2100;
constexpr uint16_t kOpDmx = 0x5000;
constexpr uint8_t kProtocolRevision = 14;

// ArtPollReply fields used here; a reply must reach past the last.
constexpr size_t kReplyAddress = 10;
constexpr size_t kReplyNetSwitch = 18;
constexpr size_t kReplySubSwitch = 19;
constexpr size_t kReplyShortName = 26;
constexpr size_t kShortNameSize = 18;
constexpr size_t kReplyLongName = 44;
constexpr size_t kLongNameSize = 64;
constexpr size_t kReplyNumPorts = 172;
constexpr size_t kReplyPortTypes = 174;
constexpr size_t kReplySwOut = 190;
constexpr size_t kMaxPorts = 4;
constexpr size_t kShortestReply = kReplySwOut + kMaxPorts;
constexpr uint8_t kPortCanOutput = 0x80;

void PutHeader(std::span<uint8_t> bytes, uint16_t opCode) {
  std::copy(kArtNetId.begin(), kArtNetId.end(), bytes.begin());
  bytes[8] = static_cast<uint8_t>(opCode & 0xFF);  // OpCode little-endian
  bytes[9] = static_cast<uint8_t>(opCode >> 8);
  bytes[10] = 0;  // ProtVerHi
  bytes[11] = kProtocolRevision;
}

constexpr std::array<uint8_t, 14> MakePoll() {
  std::array<uint8_t, 14> poll{};
  for (size_t i = 0; i < kArtNetId.size(); ++i) poll[i] = kArtNetId[i];
  poll[8] = static_cast<uint8_t>(kOpPoll & 0xFF);
  poll[9] = static_cast<uint8_t>(kOpPoll >> 8);
  poll[11] = kProtocolRevision;
  poll[12] = 0;  // Flags: answer the poll only, no unasked replies
  poll[13] = 0;  // DiagPriority
  return poll;
}
constexpr std::array<uint8_t, 14> kPoll = MakePoll();

}  // namespace

ArtDmxPacket::ArtDmxPacket(uint16_t portAddress) {
  PutHeader(bytes_, kOpDmx);
  bytes_[12] = 0;                                                // Sequence, set per packet
  bytes_[13] = 0;                                                // Physical
  bytes_[14] = static_cast<uint8_t>(portAddress & 0xFF);         // SubUni
  bytes_[15] = static_cast<uint8_t>((portAddress >> 8) & 0x7F);  // Net
  bytes_[16] = static_cast<uint8_t>(kChannelCount >> 8);         // Length, big-endian
  bytes_[17] = static_cast<uint8_t>(kChannelCount & 0xFF);
}

std::span<const uint8_t> ArtDmxPacket::Build(Levels levels) {
  sequence_ = sequence_ == 255 ? 1 : static_cast<uint8_t>(sequence_ + 1);
  bytes_[12] = sequence_;
  std::copy(levels.begin(), levels.end(), bytes_.begin() + kHeaderSize);
  return bytes_;
}

std::span<const uint8_t> ArtPollPacket() {
  return kPoll;
}

std::optional<FoundNode> ParseArtPollReply(std::span<const uint8_t> datagram) {
  if (datagram.size() < kShortestReply) return std::nullopt;
  if (!std::equal(kArtNetId.begin(), kArtNetId.end(), datagram.begin())) return std::nullopt;
  if (datagram[8] != (kOpPollReply & 0xFF) || datagram[9] != (kOpPollReply >> 8)) {
    return std::nullopt;
  }
  FoundNode node;
  std::copy_n(datagram.begin() + kReplyAddress, 4, node.address.begin());
  node.name = NameFromField(datagram.subspan(kReplyLongName, kLongNameSize));
  if (node.name.empty())
    node.name = NameFromField(datagram.subspan(kReplyShortName, kShortNameSize));

  const uint16_t net = datagram[kReplyNetSwitch] & 0x7F;
  const uint16_t subNet = datagram[kReplySubSwitch] & 0x0F;
  const size_t ports = std::min<size_t>(datagram[kReplyNumPorts + 1], kMaxPorts);
  for (size_t i = 0; i < ports; ++i) {
    if ((datagram[kReplyPortTypes + i] & kPortCanOutput) == 0) continue;
    const uint16_t universe = datagram[kReplySwOut + i] & 0x0F;
    node.outputPortAddresses.push_back(static_cast<uint16_t>(net << 8 | subNet << 4 | universe));
  }
  return node;
}

}  // namespace lumivane
