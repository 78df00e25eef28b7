// SPDX-License-Identifier: MIT
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <vector>

namespace lumivane::bench {

using Levels = std::array<uint8_t, 512>;

// Reads widget messages off the wire (0x7E, label, length low/high,
// payload, 0xE7) and checks each DMX frame (label 6: start code 0 and 512
// levels) against the universe the host should have sent with it. The
// reader thread feeds it; the host thread arms it and waits on it.
class WireFrameCheck {
 public:
  // Changes the expected universe as the host's call number k does.
  using Step = std::function<void(uint64_t k, Levels& universe)>;

  // Feeds bytes read from the wire (reader thread).
  void Consume(std::span<const uint8_t> bytes, int64_t readNs);

  // Starts checking: the next frame must match universe after call 0 of
  // step, starting from start. Keeps the completion time of the first
  // stampCapacity frames. Call while nothing is in flight.
  void Arm(const Levels& start, Step step, size_t stampCapacity);

  // Blocks until n frames have arrived since the last arming or the wait
  // times out; returns whether they arrived.
  bool WaitFrames(uint64_t n, int timeoutMs);

  struct Tally {
    uint64_t framesSeen = 0;  // complete DMX frames since arming (any content)
    uint64_t matched = 0;     // frames equal to the expected universe
    uint64_t skipped = 0;     // expected frames that never showed up before a later one
    uint64_t corrupted = 0;   // frames or messages that matched nothing or were malformed
    uint64_t expectedNext = 0;
  };
  Tally tally() const;
  std::vector<int64_t> stamps() const;  // completion time of each frame, in order

  // DMX frames and malformed messages seen in total, armed or not.
  uint64_t allFrames() const;

 private:
  void OnMessage(int64_t readNs);
  void Malformed();
  void OnFrame(std::span<const uint8_t, 512> levels, int64_t readNs);
  void Advance(Levels& universe, uint64_t& next) const;

  enum class State { kStart, kLabel, kLengthLow, kLengthHigh, kPayload, kEnd };
  static constexpr size_t kMaxPayload = 600;
  static constexpr uint64_t kLookAhead = 64;

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  State state_ = State::kStart;
  uint8_t label_ = 0;
  size_t length_ = 0;
  std::vector<uint8_t> payload_ = std::vector<uint8_t>(kMaxPayload);

  bool armed_ = false;
  Step step_;
  Levels expected_{};  // the universe after call expectedNext - 1
  Tally tally_;
  uint64_t allFrames_ = 0;
  std::vector<int64_t> stamps_;
  size_t stampCapacity_ = 0;
};

}  // namespace lumivane::bench
