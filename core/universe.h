// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace lumivane {

inline constexpr int kChannelCount = 512;

// The universe: dmxData[n] is the level of DMX channel n, n in 1..512.
// Stored contiguously so a frame can copy it in one go.
class Universe {
 public:
  uint8_t& operator[](int channel) { return levels_[channel - 1]; }
  uint8_t operator[](int channel) const { return levels_[channel - 1]; }
  std::span<const uint8_t, kChannelCount> levels() const { return levels_; }
  void Clear() { levels_.fill(0); }

 private:
  std::array<uint8_t, kChannelCount> levels_{};
};

}  // namespace lumivane
