// SPDX-License-Identifier: MIT
#pragma once

#include "opendmx/monotonic_clock.h"

namespace lumivane {

// QueryPerformanceCounter, with sleeps on a high-resolution waitable timer
// where the system has one (otherwise a 1 ms system timer period for the
// sleeping thread's life) and a bounded spin for the last stretch, so the
// break and the mark after break end close to their 110 and 16 us.
class Win32MonotonicClock final : public MonotonicClock {
 public:
  Time Now() override;
  void SleepUntil(Time deadline) override;
  // Time-critical priority for the thread that keeps the schedule.
  void PrepareTimingThread() override;
};

}  // namespace lumivane
