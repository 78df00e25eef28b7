// SPDX-License-Identifier: MIT
#include "bench/frame_sequence_check.h"

#include <cstring>

namespace lumivane::bench {

void FrameSequenceCheck::Check(uint8_t label, std::span<const uint8_t> payload) {
  ++frames_;
  if (label == 6 && payload.size() == 513 && payload[0] == 0) {
    const uint8_t* levels = payload.data() + 1;
    Levels candidate = expected_;
    for (uint64_t ahead = 0; ahead < kLookAhead; ++ahead) {
      step_(next_ + ahead, candidate);
      if (std::memcmp(candidate.data(), levels, candidate.size()) == 0) {
        superseded_ += ahead;
        ++matched_;
        expected_ = candidate;
        next_ += ahead + 1;
        return;
      }
    }
  }
  // Taken as the expected call's frame, garbled.
  ++corrupted_;
  step_(next_, expected_);
  ++next_;
}

void FrameSequenceCheck::Finish(uint64_t calls) {
  if (calls > next_) lost_ += calls - next_;
  next_ = calls;
}

}  // namespace lumivane::bench
