// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>

namespace lumivane {

// Time on a clock that never jumps, as a count since an arbitrary start,
// and sleeps on it. Every wait in the plug-in goes through one, so tests
// inject their own to run schedules and waits quickly and exactly.
class Clock {
 public:
  using Time = std::chrono::nanoseconds;

  virtual ~Clock() = default;
  virtual Time Now() = 0;
  // Blocks the calling thread until Now() >= deadline; returns at once for
  // a deadline in the past. For schedules that must not drift.
  virtual void SleepUntil(Time deadline) = 0;
  // Blocks the calling thread for about `span` (nothing for none): for waits
  // that need no precision, such as a device's time to answer.
  virtual void SleepFor(Time span) = 0;
  // Called once on a thread that is about to keep a tight schedule.
  virtual void PrepareTimingThread() {}
};

}  // namespace lumivane
