// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/network_output.h"
#include "network/universe_packet.h"

namespace lumivane {

inline constexpr uint16_t kSacnPort = 5568;
inline constexpr uint16_t kLowestSacnUniverse = 1;
inline constexpr uint16_t kHighestSacnUniverse = 63999;
inline constexpr uint8_t kSacnPriority = 100;

// An E1.31 data packet for one universe (1..63999) with all 512 slots:
// priority 100, no synchronisation, the sequence number counting on per
// packet and wrapping 255 -> 0.
class SacnDataPacket final : public UniversePacket {
 public:
  static constexpr size_t kSize = 126 + kChannelCount;  // 638
  static constexpr uint8_t kStreamTerminated = 0x40;

  // The universe must be in range (checked by the caller). The source name
  // is cut to 63 bytes, never inside a UTF-8 character.
  SacnDataPacket(uint16_t universe, const NetworkSettings::Cid& cid, std::string_view sourceName);
  std::span<const uint8_t> Build(Levels levels) override;
  int TerminationCount() const override { return 3; }
  std::span<const uint8_t> BuildTermination(Levels levels) override;

 private:
  std::span<const uint8_t> BuildWithOptions(Levels levels, uint8_t options);

  std::array<uint8_t, kSize> bytes_{};
  uint8_t sequence_ = 0;
};

// sACN's default destination for a universe: 239.255.H.L.
NetworkSettings::Ipv4 SacnMulticastAddress(uint16_t universe);

}  // namespace lumivane
