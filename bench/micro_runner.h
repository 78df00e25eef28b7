// SPDX-License-Identifier: MIT
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <map>
#include <string>

namespace lumivane::bench {

// The median of a Google Benchmark's repetitions.
struct MicroResult {
  bool ran = false;
  std::string error;
  double nsPerIteration = 0;
  std::map<std::string, double> counters;  // user counters, items_per_second among them
};

// Collects the short, repeatable timings of every section and runs them in
// one go, repetitions randomly interleaved so that a noisy neighbour hurts
// a figure and its floor alike.
class MicroRunner {
 public:
  using Body = std::function<void(benchmark::State&)>;
  void Register(const std::string& name, Body body);
  // repetitions and minimum seconds per repetition.
  void RunAll(int repetitions, double minSeconds);
  MicroResult Result(const std::string& name) const;

 private:
  std::map<std::string, Body> bodies_;
  std::map<std::string, MicroResult> results_;
};

}  // namespace lumivane::bench
