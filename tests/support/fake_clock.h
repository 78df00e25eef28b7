// SPDX-License-Identifier: MIT
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "core/clock.h"

namespace lumivane::test {

// A clock whose time moves only when it is read or slept on, so that a
// schedule or a wait can be checked exactly. Each read adds `readCost`,
// standing in for the calls made between two reads. Every sleep is
// recorded as the deadline it slept to and the span it slept.
//
// How much real time a sleep takes besides: none; a short pause, so that a
// thread sleeping in a loop does not race ahead of the test; or the span
// itself, for a peer that needs real time to answer (a simulated widget).
class FakeClock final : public Clock {
 public:
  enum class RealWait { kNone, kPause, kSpan };

  explicit FakeClock(Time readCost = Time::zero(), RealWait realWait = RealWait::kNone)
      : readCost_(readCost), realWait_(realWait) {}
  explicit FakeClock(RealWait realWait) : FakeClock(Time::zero(), realWait) {}

  Time Now() override {
    std::lock_guard lock(mutex_);
    now_ += readCost_;
    return now_;
  }
  void SleepUntil(Time deadline) override {
    Time span{};
    {
      std::lock_guard lock(mutex_);
      span = std::max(deadline - now_, Time::zero());
      Record(deadline, span);
    }
    WaitReally(span);
  }
  void SleepFor(Time span) override {
    {
      std::lock_guard lock(mutex_);
      Record(now_ + span, span);
    }
    WaitReally(span);
  }

  std::vector<Time> Deadlines() const {
    std::lock_guard lock(mutex_);
    return deadlines_;
  }
  std::vector<Time> Spans() const {
    std::lock_guard lock(mutex_);
    return spans_;
  }
  // The spans in whole milliseconds, for waits given in them: they print
  // readably when a test fails.
  std::vector<int64_t> SpansMs() const {
    std::vector<int64_t> out;
    for (const Time span : Spans()) {
      out.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(span).count());
    }
    return out;
  }

 private:
  void Record(Time deadline, Time span) {
    deadlines_.push_back(deadline);
    spans_.push_back(span);
    now_ = std::max(now_, deadline);
  }
  void WaitReally(Time span) const {
    if (realWait_ == RealWait::kPause) std::this_thread::sleep_for(std::chrono::microseconds(20));
    if (realWait_ == RealWait::kSpan) std::this_thread::sleep_for(span);
  }

  const Time readCost_;
  const RealWait realWait_;
  mutable std::mutex mutex_;
  Time now_{0};
  std::vector<Time> deadlines_;
  std::vector<Time> spans_;
};

}  // namespace lumivane::test
