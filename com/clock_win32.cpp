// SPDX-License-Identifier: MIT
#include "com/clock_win32.h"

#include <windows.h>

namespace lumivane {
namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

// Below this a sleep overshoots by more than it saves: spin instead.
constexpr Clock::Time kSpinBelow = std::chrono::microseconds(1500);

int64_t Frequency() {
  static const int64_t frequency = [] {
    LARGE_INTEGER f{};
    QueryPerformanceFrequency(&f);
    return static_cast<int64_t>(f.QuadPart);
  }();
  return frequency;
}

// timeBeginPeriod and timeEndPeriod, from the system folder only when
// needed: most systems have high-resolution timers, and the DLL then
// imports nothing beyond the core system DLLs.
using PeriodFn = UINT(WINAPI*)(UINT);
PeriodFn PeriodCall(const char* name) {
  HMODULE winmm = LoadLibraryExW(L"winmm.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (winmm == nullptr) return nullptr;
  return reinterpret_cast<PeriodFn>(reinterpret_cast<void*>(GetProcAddress(winmm, name)));
}

// One timer per sleeping thread, made on its first sleep.
class ThreadTimer {
 public:
  ThreadTimer() {
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                    TIMER_ALL_ACCESS);
    if (timer_ == nullptr) {
      // No high-resolution timers here: a plain one on a 1 ms period.
      highResolution_ = false;
      begin_ = PeriodCall("timeBeginPeriod");
      end_ = PeriodCall("timeEndPeriod");
      if (begin_ != nullptr && end_ != nullptr) begin_(1);
      timer_ = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    }
  }
  ~ThreadTimer() {
    if (timer_ != nullptr) CloseHandle(timer_);
    if (!highResolution_ && begin_ != nullptr && end_ != nullptr) end_(1);
  }
  ThreadTimer(const ThreadTimer&) = delete;
  ThreadTimer& operator=(const ThreadTimer&) = delete;

  void Sleep(Clock::Time span) {
    if (timer_ == nullptr) {
      ::Sleep(static_cast<DWORD>(span.count() / 1000000));
      return;
    }
    LARGE_INTEGER due{};
    due.QuadPart = -static_cast<LONGLONG>(span.count() / 100);  // relative, 100 ns units
    if (SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
      WaitForSingleObject(timer_, INFINITE);
    }
  }

 private:
  HANDLE timer_ = nullptr;
  bool highResolution_ = true;
  PeriodFn begin_ = nullptr;
  PeriodFn end_ = nullptr;
};

}  // namespace

Clock::Time Win32Clock::Now() {
  LARGE_INTEGER now{};
  QueryPerformanceCounter(&now);
  const int64_t f = Frequency();
  const int64_t seconds = now.QuadPart / f;
  const int64_t rest = now.QuadPart % f;
  return std::chrono::seconds(seconds) + std::chrono::nanoseconds(rest * 1000000000 / f);
}

void Win32Clock::SleepUntil(Time deadline) {
  Time left = deadline - Now();
  if (left > kSpinBelow) {
    thread_local ThreadTimer timer;
    timer.Sleep(left - kSpinBelow);
  }
  // The spin is bounded by the deadline, which is at most kSpinBelow away
  // unless the sleep above woke early.
  while (Now() < deadline) YieldProcessor();
}

void Win32Clock::SleepFor(Time span) {
  if (span.count() <= 0) return;
  ::Sleep(static_cast<DWORD>(std::chrono::ceil<std::chrono::milliseconds>(span).count()));
}

void Win32Clock::PrepareTimingThread() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

}  // namespace lumivane
