// SPDX-License-Identifier: MIT
#include "prowidget/hex_string.h"

#include <cstdint>

namespace lumivane {

void AppendHexString(std::string& out, std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  out.reserve(out.size() + text.size() * 3);
  for (const char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte >= 0x10) out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
    out += ' ';
  }
}

std::string ToHexString(std::string_view text) {
  std::string dump;
  AppendHexString(dump, text);
  return dump;
}

}  // namespace lumivane
