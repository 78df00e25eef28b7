// SPDX-License-Identifier: MIT
// Building the 518-byte universe frame into the reused buffer, against a
// plain memcpy of 518 bytes.
#include <array>
#include <cstring>

#include "bench/section.h"

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
  }

  void Measure(const MicroRunner& runner, ResultsTable& table) override {
    const MicroResult floor = runner.Result("memcpy_518");
    table.Add({"Universe frame build", "not built yet",
               FormatNs(floor.nsPerIteration) + " memcpy 518 B", "-", "< 100 ns, 0 alloc",
               std::nullopt});
  }
};

}  // namespace

std::unique_ptr<Section> MakeFrameBuildSection(const BenchOptions&) {
  return std::make_unique<FrameBuildSection>();
}

}  // namespace lumivane::bench
