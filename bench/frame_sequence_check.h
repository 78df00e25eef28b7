// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>

namespace lumivane::bench {

using Levels = std::array<uint8_t, 512>;

// Checks the DMX frames that reached the wire against the universes the
// host sent, call by call. A frame that matches a later call than expected
// means the universes in between were replaced by a newer one while the
// line was full; the calls after the last frame that came are lost; a frame
// that matches no call nearby, or is not a whole DMX frame, is corrupted.
class FrameSequenceCheck {
 public:
  // Changes the universe as the host's call number k does.
  using Step = std::function<void(uint64_t k, Levels& universe)>;
  FrameSequenceCheck(const Levels& start, Step step) : expected_(start), step_(std::move(step)) {}

  // One widget message as it arrived: its label and payload.
  void Check(uint8_t label, std::span<const uint8_t> payload);
  // After the last message: the calls whose frame never came are lost.
  void Finish(uint64_t calls);

  uint64_t frames() const { return frames_; }
  uint64_t matched() const { return matched_; }
  uint64_t lost() const { return lost_; }
  uint64_t superseded() const { return superseded_; }
  uint64_t corrupted() const { return corrupted_; }

 private:
  static constexpr uint64_t kLookAhead = 100'000;

  Levels expected_;  // the universe after call next_ - 1
  Step step_;
  uint64_t next_ = 0;
  uint64_t frames_ = 0;
  uint64_t matched_ = 0;
  uint64_t lost_ = 0;
  uint64_t superseded_ = 0;
  uint64_t corrupted_ = 0;
};

}  // namespace lumivane::bench
