// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

namespace lumivane {

// Time on a clock that never jumps, as a count since an arbitrary start.
// Tests inject their own to run the transmitter's schedule quickly.
class MonotonicClock {
 public:
  using Time = std::chrono::nanoseconds;

  virtual ~MonotonicClock() = default;
  virtual Time Now() = 0;
  // Blocks the calling thread until Now() >= deadline; returns at once for
  // a deadline in the past.
  virtual void SleepUntil(Time deadline) = 0;
  // Called once on a thread that is about to keep a tight schedule.
  virtual void PrepareTimingThread() {}
};

// CLOCK_MONOTONIC with absolute clock_nanosleep, so a late wake-up never
// shifts the deadlines that follow.
class PosixMonotonicClock final : public MonotonicClock {
 public:
  Time Now() override;
  void SleepUntil(Time deadline) override;
  // Drops the thread's timer slack so that 100 us sleeps end near 100 us,
  // and moves the thread to the real-time class when the process may.
  void PrepareTimingThread() override;
};

}  // namespace lumivane
