// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace lumivane::test {

inline std::string Bytes(std::initializer_list<uint8_t> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// What the widget link sends to ask for the serial number.
inline const std::string kSerialRequest = Bytes({0x7E, 0x0A, 0x01, 0x00, 0x00, 0xE7});

}  // namespace lumivane::test
