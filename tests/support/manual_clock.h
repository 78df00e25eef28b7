// SPDX-License-Identifier: MIT
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "core/clock.h"

namespace lumivane::test {

// A clock that stands still until the test moves it: sleeps and waits end
// only when Advance reaches their deadline (or, for WaitUntil, when the
// waiter is woken first). A thread on a schedule can then be stepped through
// seconds of it in microseconds, with every deadline met exactly.
class ManualClock final : public Clock {
 public:
  Time Now() override {
    std::lock_guard lock(mutex_);
    return now_;
  }
  void SleepUntil(Time deadline) override {
    std::unique_lock lock(mutex_);
    moved_.wait(lock, [&] { return now_ >= deadline; });
  }
  void SleepFor(Time span) override { SleepUntil(Now() + span); }
  bool WaitUntil(std::condition_variable& wake, std::unique_lock<std::mutex>& lock, Time deadline,
                 const std::function<bool()>& woken) override {
    {
      std::lock_guard own(mutex_);
      waiter_ = {&wake, lock.mutex()};
    }
    for (;;) {
      if (woken()) return true;
      const Time now = Now();
      if (now >= deadline) return false;
      {
        std::lock_guard own(mutex_);
        ++parks_;
        parkedAt_ = now;
      }
      wake.wait(lock);
    }
  }

  // How often a thread has begun to wait in WaitUntil so far.
  uint64_t Parks() {
    std::lock_guard lock(mutex_);
    return parks_;
  }
  // True once a thread began to wait after `parks` and saw the time as it
  // is now: it has reacted to everything that happened before.
  bool SettledAfter(uint64_t parks) {
    std::lock_guard lock(mutex_);
    return parks_ > parks && parkedAt_ == now_;
  }

  void Advance(Time span) {
    Waiter waiter;
    {
      std::lock_guard lock(mutex_);
      now_ += span;
      waiter = waiter_;
    }
    moved_.notify_all();
    if (waiter.wake != nullptr) {
      // Taking the waiter's mutex orders this after its last look at the time.
      { std::lock_guard lock(*waiter.mutex); }
      waiter.wake->notify_all();
    }
  }

 private:
  struct Waiter {
    std::condition_variable* wake = nullptr;
    std::mutex* mutex = nullptr;
  };

  std::mutex mutex_;
  std::condition_variable moved_;
  Time now_{0};
  Waiter waiter_;
  uint64_t parks_ = 0;
  Time parkedAt_{-1};
};

}  // namespace lumivane::test
