// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace lumivane::host {

// One universe as a receiver decoded it from an Art-Net ArtDmx or an sACN
// (E1.31) data packet.
struct ReceivedUniverse {
  enum class Protocol { kArtNet, kSacn };
  Protocol protocol = Protocol::kArtNet;
  uint16_t universe = 0;  // Port-Address, or sACN universe
  uint8_t sequence = 0;
  bool streamTerminated = false;  // sACN only
  std::string sourceName;         // sACN only
  uint16_t levelCount = 0;        // levels the packet carried, up to 512
  std::array<uint8_t, 512> levels{};
};

// The universe a datagram carries, or none for anything that is not a
// well-formed DMX packet of either protocol (another packet, a start code
// other than 0, a length that disagrees with the datagram). Reads only
// within the datagram.
std::optional<ReceivedUniverse> ReadDmxPacket(std::span<const uint8_t> datagram);

}  // namespace lumivane::host
