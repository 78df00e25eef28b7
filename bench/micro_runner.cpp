// SPDX-License-Identifier: MIT
#include "bench/micro_runner.h"

#include <string>
#include <vector>

namespace lumivane::bench {
namespace {

// Keeps the median of each benchmark and prints nothing: the one table
// at the end is the output.
class MedianCollector final : public benchmark::BenchmarkReporter {
 public:
  explicit MedianCollector(std::map<std::string, MicroResult>& results) : results_(results) {}
  bool ReportContext(const Context&) override { return true; }
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      const std::string name = run.run_name.function_name;
      MicroResult& result = results_[name];
      if (run.error_occurred) {
        result.error = run.error_message;
        continue;
      }
      const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
      const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
      if (!single && !median) continue;
      result.ran = true;
      result.nsPerIteration = run.GetAdjustedRealTime();
      for (const auto& [key, counter] : run.counters) result.counters[key] = counter.value;
    }
  }

 private:
  std::map<std::string, MicroResult>& results_;
};

}  // namespace

void MicroRunner::Register(const std::string& name, Body body) {
  bodies_[name] = std::move(body);
}

void MicroRunner::RunAll(int repetitions, double minSeconds) {
  for (auto& [name, body] : bodies_) {
    benchmark::RegisterBenchmark(name.c_str(), body)
        ->Unit(benchmark::kNanosecond)
        ->Repetitions(repetitions)
        ->MinTime(minSeconds)
        ->ReportAggregatesOnly(true);
  }
  std::string program = "lumivane-bench";
  std::string interleave = "--benchmark_enable_random_interleaving=true";
  std::vector<char*> argv{program.data(), interleave.data(), nullptr};
  int argc = 2;
  benchmark::Initialize(&argc, argv.data());
  MedianCollector collector(results_);
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
}

MicroResult MicroRunner::Result(const std::string& name) const {
  const auto it = results_.find(name);
  if (it == results_.end()) return MicroResult{false, "not run", 0, {}};
  return it->second;
}

}  // namespace lumivane::bench
