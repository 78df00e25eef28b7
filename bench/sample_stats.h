// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lumivane::bench {

// CLOCK_MONOTONIC in nanoseconds: the one time base of every figure.
int64_t NowNs();
// The calling thread's CPU time in nanoseconds.
int64_t ThreadCpuNs();

// Order statistics of a set of samples (nearest rank).
struct Spread {
  double p50 = 0;
  double p99 = 0;
  double min = 0;
  double max = 0;
  size_t count = 0;
};
Spread SpreadOf(std::vector<double> samples);

double Median(std::vector<double> samples);

}  // namespace lumivane::bench
