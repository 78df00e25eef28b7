// SPDX-License-Identifier: MIT
// Building the 518-byte universe frame into the reused buffer, against a
// plain memcpy of 518 bytes.
#include <array>
#include <cstring>

#include "bench/allocation_hooks.h"
#include "bench/section.h"
#include "prowidget/widget_message.h"

namespace lumivane::bench {
namespace {

class FrameBuildSection final : public Section {
 public:
  void Register(MicroRunner& runner) override {
    runner.Register("memcpy_518", [](benchmark::State& state) {
      std::array<uint8_t, 518> from{};
      std::array<uint8_t, 518> to{};
      for (auto _ : state) {
        benchmark::DoNotOptimize(from);
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(to);
      }
    });
    runner.Register("UniverseFrame_Build", [](benchmark::State& state) {
      UniverseFrame frame;
      Universe universe;
      int channel = 1;
      const uint64_t before = lv_bench_thread_allocations();
      for (auto _ : state) {
        universe[channel] = static_cast<uint8_t>(channel);
        channel = channel % kChannelCount + 1;
        benchmark::DoNotOptimize(frame.Build(universe));
      }
      state.counters["allocations"] =
          benchmark::Counter(static_cast<double>(lv_bench_thread_allocations() - before),
                             benchmark::Counter::kAvgIterations);
    });
  }

  void Measure(const MicroRunner& runner, ResultsTable& table) override {
    const MicroResult floor = runner.Result("memcpy_518");
    const MicroResult build = runner.Result("UniverseFrame_Build");
    const double allocations =
        build.counters.count("allocations") ? build.counters.at("allocations") : -1;
    table.Add(
        {"Universe frame build (518 B, reused buffer)",
         build.ran ? FormatNs(build.nsPerIteration) + ", " + FormatFixed(allocations, 0) + " alloc"
                   : "failed: " + build.error,
         FormatNs(floor.nsPerIteration) + " memcpy of 518 B",
         FormatFixed(floor.nsPerIteration > 0 ? build.nsPerIteration / floor.nsPerIteration : 0, 1),
         "< 100 ns, 0 alloc", build.ran && build.nsPerIteration < 100 && allocations == 0});
  }
};

}  // namespace

std::unique_ptr<Section> MakeFrameBuildSection(const BenchOptions&) {
  return std::make_unique<FrameBuildSection>();
}

}  // namespace lumivane::bench
