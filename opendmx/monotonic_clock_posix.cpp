// SPDX-License-Identifier: MIT
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

#include "opendmx/monotonic_clock.h"

namespace lumivane {

MonotonicClock::Time PosixMonotonicClock::Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

void PosixMonotonicClock::SleepUntil(Time deadline) {
  if (deadline.count() < 0) return;
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(deadline);
  timespec at{};
  at.tv_sec = static_cast<time_t>(seconds.count());
  at.tv_nsec = static_cast<long>((deadline - seconds).count());
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

void PosixMonotonicClock::PrepareTimingThread() {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  // A real-time class where the process may have one: on a busy machine an
  // ordinary thread wakes milliseconds late, which moves the schedule. The
  // thread sleeps nearly all the time. Without the privilege it stays as is.
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

}  // namespace lumivane
