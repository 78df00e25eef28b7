// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <span>

#include "core/driver_state.h"

namespace lumivane {

using Levels = std::span<const uint8_t, kChannelCount>;

// One protocol's packet for one universe, built field by field into a
// buffer the object owns and reuses: no allocation per packet. The span a
// Build returns stays valid until the next Build.
class UniversePacket {
 public:
  virtual ~UniversePacket() = default;
  // The next data packet (its sequence number counts on).
  virtual std::span<const uint8_t> Build(Levels levels) = 0;
  // How many packets announce the end of the stream (none for Art-Net).
  virtual int TerminationCount() const { return 0; }
  // One of those packets, with the last levels sent.
  virtual std::span<const uint8_t> BuildTermination(Levels levels) { return Build(levels); }
};

}  // namespace lumivane
