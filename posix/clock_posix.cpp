// SPDX-License-Identifier: MIT
#include "posix/clock_posix.h"

#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

namespace lumivane {
namespace {

timespec ToTimespec(Clock::Time t) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(t);
  timespec out{};
  out.tv_sec = static_cast<time_t>(seconds.count());
  out.tv_nsec = static_cast<long>((t - seconds).count());
  return out;
}

}  // namespace

Clock::Time PosixClock::Now() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

void PosixClock::SleepUntil(Time deadline) {
  if (deadline.count() < 0) return;
  const timespec at = ToTimespec(deadline);
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

void PosixClock::SleepFor(Time span) {
  if (span.count() <= 0) return;
  timespec left = ToTimespec(span);
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &left, &left) == EINTR) {
  }
}

void PosixClock::PrepareTimingThread() {
  prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  // A real-time class where the process may have one: on a busy machine an
  // ordinary thread wakes milliseconds late, which moves the schedule. The
  // thread sleeps nearly all the time. Without the privilege it stays as is.
  sched_param param{};
  param.sched_priority = sched_get_priority_min(SCHED_FIFO);
  pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

}  // namespace lumivane
