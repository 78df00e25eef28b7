// SPDX-License-Identifier: MIT
#include "bench/sample_stats.h"

#include <time.h>

#include <algorithm>
#include <cmath>

namespace lumivane::bench {
namespace {

int64_t ReadClock(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

double Rank(const std::vector<double>& sorted, double fraction) {
  const auto index = static_cast<size_t>(std::ceil(fraction * static_cast<double>(sorted.size())));
  return sorted[std::clamp<size_t>(index, 1, sorted.size()) - 1];
}

}  // namespace

int64_t NowNs() {
  return ReadClock(CLOCK_MONOTONIC);
}
int64_t ThreadCpuNs() {
  return ReadClock(CLOCK_THREAD_CPUTIME_ID);
}

Spread SpreadOf(std::vector<double> samples) {
  Spread s;
  if (samples.empty()) return s;
  std::sort(samples.begin(), samples.end());
  s.p50 = Rank(samples, 0.50);
  s.p99 = Rank(samples, 0.99);
  s.min = samples.front();
  s.max = samples.back();
  s.count = samples.size();
  return s;
}

double Median(std::vector<double> samples) {
  return SpreadOf(std::move(samples)).p50;
}

}  // namespace lumivane::bench
