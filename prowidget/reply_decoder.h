// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumivane {

// Result codes of a reply besides the label itself (0..255).
inline constexpr int32_t kReplyTooShort = -1;  // trimmed reply under 4 characters
inline constexpr int32_t kReplyNoStart = -2;   // no 0x7E in it
inline constexpr int32_t kReplyTooLong = -3;   // trimmed reply over 600 characters

// What a widget's reply says, decoded; nothing shown yet.
struct ProReply {
  int32_t code = 0;          // a code above, or the label
  std::string_view trimmed;  // the first message: first 0x7E up to the first 0xE7 after it
  // Label 10: 4..8 hexadecimal characters, the bytes at positions 8, 7, 6, 5
  // ("0" for each one missing).
  std::optional<std::string> serial;
  // Label 3: the firmware bytes at positions 5 and 6, each while the reply
  // reaches it.
  std::optional<uint8_t> fwVersionLow;
  std::optional<uint8_t> fwVersionHigh;
  std::string resultCaption;  // for the result line; empty: leave it
  std::string message;        // for a message box; empty: none
};

// Trims bytes to their first message (length bytes ignored), checks and
// decodes it. trimmed points into bytes.
ProReply DecodeProReply(std::string_view bytes);

}  // namespace lumivane
