// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

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
  // Waits on `wake` until `woken()` holds or Now() >= deadline, whichever
  // comes first, and returns woken(). `lock` holds the mutex `woken` reads
  // on entry and on return; it is released while waiting. For a thread that
  // sleeps until a deadline unless it is given work first.
  virtual bool WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock,
                         Time deadline, const std::function<bool()>& woken) {
    for (;;) {
      if (woken()) return true;
      const Time now = Now();
      if (now >= deadline) return false;
      wake.wait_for(lock, deadline - now);
    }
  }
};

}  // namespace lumivane
