// SPDX-License-Identifier: MIT
#pragma once

#include "core/clock.h"

namespace lumivane {

// CLOCK_MONOTONIC with absolute clock_nanosleep, so a late wake-up never
// shifts the deadlines that follow.
class PosixClock final : public Clock {
 public:
  Time Now() override;
  void SleepUntil(Time deadline) override;
  void SleepFor(Time span) override;
  // Drops the thread's timer slack so that 100 us sleeps end near 100 us,
  // and moves the thread to the real-time class when the process may.
  void PrepareTimingThread() override;
};

}  // namespace lumivane
