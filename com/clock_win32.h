// SPDX-License-Identifier: MIT
#pragma once

#include "core/clock.h"

namespace lumivane {

// QueryPerformanceCounter, with sleeps on a high-resolution waitable timer
// where the system has one (otherwise a 1 ms system timer period for the
// sleeping thread's life) and a bounded spin for the last stretch, so the
// break and the mark after break end close to their 110 and 16 us.
class Win32Clock final : public Clock {
 public:
  Time Now() override;
  void SleepUntil(Time deadline) override;
  // Sleep(), rounded up to whole milliseconds: no spin for a wait that
  // needs no precision.
  void SleepFor(Time span) override;
  // Time-critical priority for the thread that keeps the schedule.
  void PrepareTimingThread() override;
};

}  // namespace lumivane
