// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "core/driver_state.h"

namespace lumivane {

// The widget's message format: 0x7E, label, payload length (low byte, high
// byte), payload, 0xE7. Nothing is escaped: a payload byte equal to a
// delimiter goes out unchanged. Messages are byte strings, one char per byte.
inline constexpr uint8_t msgStart = 0x7E;
inline constexpr uint8_t msgEnd = 0xE7;
inline constexpr uint8_t kLabelParameters = 3;
inline constexpr uint8_t kLabelDmxOutput = 6;
inline constexpr uint8_t kLabelSerialNumber = 10;
inline constexpr size_t kMessageOverhead = 5;

struct PayloadLength {
  uint8_t low;
  uint8_t high;
};

// The widget's length bytes for payloads of 0..767 bytes: high byte 0, 1 or
// 2, low byte what is left. Other lengths throw Failure 6 (overflow).
PayloadLength EncodePayloadLength(int16_t length);

// 7E 06 01 00 00 E7: a DMX frame with the start code alone.
std::string_view InitialFrame();
// 7E 0A 01 00 00 E7.
std::string_view SerialNumberRequest();

// The universe frame, 518 bytes: 7E 06 01 02, start code 00, channels
// 1..512, E7. Built into its own buffer, so a push allocates nothing; the
// view returned is valid until the next Build.
class UniverseFrame {
 public:
  static constexpr size_t kSize = kChannelCount + 1 + kMessageOverhead;
  UniverseFrame();
  std::string_view Build(const Universe& dmxData);

 private:
  std::array<char, kSize> bytes_{};
};

}  // namespace lumivane
