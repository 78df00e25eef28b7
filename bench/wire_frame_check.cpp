// SPDX-License-Identifier: MIT
#include "bench/wire_frame_check.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace lumivane::bench {

void WireFrameCheck::Consume(std::span<const uint8_t> bytes, int64_t readNs) {
  std::lock_guard lock(mutex_);
  size_t i = 0;
  while (i < bytes.size()) {
    const uint8_t b = bytes[i];
    switch (state_) {
      case State::kStart:
        if (b == 0x7E) state_ = State::kLabel;
        ++i;
        break;
      case State::kLabel:
        label_ = b;
        state_ = State::kLengthLow;
        ++i;
        break;
      case State::kLengthLow:
        length_ = b;
        state_ = State::kLengthHigh;
        ++i;
        break;
      case State::kLengthHigh:
        length_ |= size_t{b} << 8;
        ++i;
        payload_.clear();
        if (length_ > kMaxPayload) {
          Malformed();
          state_ = State::kStart;
        } else {
          state_ = length_ == 0 ? State::kEnd : State::kPayload;
        }
        break;
      case State::kPayload: {
        const size_t take = std::min(length_ - payload_.size(), bytes.size() - i);
        payload_.insert(payload_.end(), bytes.begin() + static_cast<ptrdiff_t>(i),
                        bytes.begin() + static_cast<ptrdiff_t>(i + take));
        i += take;
        if (payload_.size() == length_) state_ = State::kEnd;
        break;
      }
      case State::kEnd:
        state_ = State::kStart;
        if (b == 0xE7) {
          ++i;
          OnMessage(readNs);
        } else {
          // Not consumed: it may be the start of the next message.
          Malformed();
        }
        break;
    }
  }
}

void WireFrameCheck::OnMessage(int64_t readNs) {
  if (label_ != 6) return;
  if (payload_.size() != 513 || payload_[0] != 0) {
    Malformed();
    return;
  }
  ++allFrames_;
  OnFrame(std::span<const uint8_t, 512>(payload_.data() + 1, 512), readNs);
}

void WireFrameCheck::Malformed() {
  ++allFrames_;
  if (armed_) ++tally_.corrupted;
  arrived_.notify_all();
}

void WireFrameCheck::OnFrame(std::span<const uint8_t, 512> levels, int64_t readNs) {
  if (!armed_) return;
  ++tally_.framesSeen;
  if (stamps_.size() < stampCapacity_) stamps_.push_back(readNs);
  Levels candidate = expected_;
  uint64_t next = tally_.expectedNext;
  for (uint64_t ahead = 0; ahead < kLookAhead; ++ahead) {
    Advance(candidate, next);
    if (std::memcmp(candidate.data(), levels.data(), levels.size()) == 0) {
      tally_.skipped += ahead;
      ++tally_.matched;
      expected_ = candidate;
      tally_.expectedNext = next;
      arrived_.notify_all();
      return;
    }
  }
  // Matches no call nearby: count it as the expected frame, garbled.
  ++tally_.corrupted;
  Advance(expected_, tally_.expectedNext);
  arrived_.notify_all();
}

void WireFrameCheck::Advance(Levels& universe, uint64_t& next) const {
  step_(next, universe);
  ++next;
}

void WireFrameCheck::Arm(const Levels& start, Step step, size_t stampCapacity) {
  std::lock_guard lock(mutex_);
  armed_ = true;
  step_ = std::move(step);
  expected_ = start;
  tally_ = Tally{};
  stamps_.clear();
  stamps_.reserve(stampCapacity);
  stampCapacity_ = stampCapacity;
}

bool WireFrameCheck::WaitFrames(uint64_t n, int timeoutMs) {
  std::unique_lock lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return tally_.framesSeen + tally_.corrupted >= n; });
}

WireFrameCheck::Tally WireFrameCheck::tally() const {
  std::lock_guard lock(mutex_);
  return tally_;
}

std::vector<int64_t> WireFrameCheck::stamps() const {
  std::lock_guard lock(mutex_);
  return stamps_;
}

uint64_t WireFrameCheck::allFrames() const {
  std::lock_guard lock(mutex_);
  return allFrames_;
}

}  // namespace lumivane::bench
