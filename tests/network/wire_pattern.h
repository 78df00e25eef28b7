// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>

namespace lumivane::test {

// The level of a channel in push k of a wire check: every push differs in
// every channel, so each decoded packet names the push it carried.
inline uint8_t WireLevel(int channel, int push) {
  return static_cast<uint8_t>((channel * 3 + push * 11) % 256);
}

}  // namespace lumivane::test
