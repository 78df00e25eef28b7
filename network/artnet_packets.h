// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "core/network_output.h"
#include "network/universe_packet.h"

namespace lumivane {

inline constexpr uint16_t kArtNetPort = 6454;
inline constexpr uint16_t kHighestPortAddress = 32767;

// ArtDmx for one Port-Address (0..32767): sequence 1..255, wrapping to 1,
// always the whole 512 channels.
class ArtDmxPacket final : public UniversePacket {
 public:
  static constexpr size_t kHeaderSize = 18;
  static constexpr size_t kSize = kHeaderSize + kChannelCount;

  // The Port-Address must be in range (checked by the caller).
  explicit ArtDmxPacket(uint16_t portAddress);
  std::span<const uint8_t> Build(Levels levels) override;

 private:
  std::array<uint8_t, kSize> bytes_{};
  uint8_t sequence_ = 0;
};

// ArtPoll asking every node to answer; 14 bytes, the same every time.
std::span<const uint8_t> ArtPollPacket();

// An ArtPollReply, from a datagram nobody vouches for. None for anything
// that is not a whole ArtPollReply (too short, another packet, another
// protocol). Reads only within the datagram; the name comes out as valid
// UTF-8 (invalid bytes and control characters become U+FFFD). The address
// is the one the node states (0.0.0.0 when it states none).
std::optional<FoundNode> ParseArtPollReply(std::span<const uint8_t> datagram);

}  // namespace lumivane
