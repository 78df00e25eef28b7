// SPDX-License-Identifier: MIT
#include "prowidget/hex_string.h"

#include <cstdint>

namespace lumivane {

std::string ToHexString(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string dump;
  dump.reserve(text.size() * 3);
  for (const char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte >= 0x10) dump += kDigits[byte >> 4];
    dump += kDigits[byte & 0x0F];
    dump += ' ';
  }
  return dump;
}

}  // namespace lumivane
