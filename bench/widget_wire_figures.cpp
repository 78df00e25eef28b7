// SPDX-License-Identifier: MIT
// The road of SetChannel to the widget's serial line, measured on a pty
// whose other end a reader thread drains and checks, against raw write(2)
// of a 518-byte frame into the same pty.
#include <unistd.h>

#include <array>
#include <cstring>
#include <optional>
#include <string>

#include "bench/pty_wire.h"
#include "bench/sample_stats.h"
#include "bench/section.h"
#include "bench/wire_frame_check.h"

namespace lumivane::bench {
namespace {

constexpr size_t kFrameSize = 518;

// A DMX frame written byte by byte, independent of the plug-in's builder.
std::array<uint8_t, kFrameSize> HandBuiltFrame(const Levels& levels) {
  std::array<uint8_t, kFrameSize> frame{};
  frame[0] = 0x7E;
  frame[1] = 6;
  frame[2] = 513 & 0xFF;
  frame[3] = 513 >> 8;
  frame[4] = 0;
  std::memcpy(frame.data() + 5, levels.data(), levels.size());
  frame[kFrameSize - 1] = 0xE7;
  return frame;
}

// Call k of every run: a channel that walks the universe and a level that
// differs from the one it replaces, so that every frame is new.
int32_t ChannelOf(uint64_t k) {
  return static_cast<int32_t>(k % 512) + 1;
}
int32_t ValueOf(uint64_t k) {
  return static_cast<int32_t>((k / 512 + k * 7 + 1) % 256);
}
void StepOf(uint64_t k, Levels& universe) {
  universe[static_cast<size_t>(ChannelOf(k) - 1)] = static_cast<uint8_t>(ValueOf(k));
}

class WidgetWireSection final : public Section {
 public:
  explicit WidgetWireSection(const BenchOptions& options)
      : options_(options),
        reader_(pty_.master(), [this](auto bytes, int64_t ns) { check_.Consume(bytes, ns); }) {}

  void Register(MicroRunner& runner) override {
    runner.Register("raw_write_518", [this](benchmark::State& state) {
      const auto frame = HandBuiltFrame(Levels{});
      for (auto _ : state) WriteAll(pty_.terminal(), frame);
      state.SetItemsProcessed(state.iterations());
    });
  }

  void Measure(const MicroRunner& runner, ResultsTable& table) override {
    const MicroResult raw = runner.Result("raw_write_518");
    const double rawRate =
        raw.counters.count("items_per_second") ? raw.counters.at("items_per_second") : 0;
    table.Add({"SetChannel end to end (C ABI, pty)", "not built yet",
               FormatFixed(rawRate, 0) + " writes/s raw write(2) 518 B", "-", ">= 0.90 of floor",
               std::nullopt});
    const Spread rawLatency = RawWriteLatency(options_.Count(10'000));
    table.Add({"Host-to-wire latency p50/p99/max", "not built yet",
               LatencyText(rawLatency) + " raw write(2)", "-", "p50 < 50 us, p99 < 500 us",
               std::nullopt});
  }

 private:
  static std::string LatencyText(const Spread& s) {
    return FormatNs(s.p50) + " / " + FormatNs(s.p99) + " / " + FormatNs(s.max);
  }

  // Waits for whatever is still in flight to reach the reader.
  void Settle() {
    uint64_t seen = reader_.bytes();
    for (;;) {
      ::usleep(20'000);
      const uint64_t now = reader_.bytes();
      if (now == seen) return;
      seen = now;
    }
  }

  // One frame at a time: from the write call to the frame complete at the reader.
  Spread RawWriteLatency(size_t frames) {
    Settle();
    Levels universe{};
    check_.Arm(universe, StepOf, frames);
    std::vector<int64_t> starts;
    starts.reserve(frames);
    for (uint64_t k = 0; k < frames; ++k) {
      StepOf(k, universe);
      const auto frame = HandBuiltFrame(universe);
      starts.push_back(NowNs());
      WriteAll(pty_.terminal(), frame);
      if (!check_.WaitFrames(k + 1, 5'000)) break;
    }
    return LatencyOf(starts);
  }

  Spread LatencyOf(const std::vector<int64_t>& starts) const {
    const std::vector<int64_t> ends = check_.stamps();
    std::vector<double> latency;
    for (size_t i = 0; i < std::min(starts.size(), ends.size()); ++i) {
      latency.push_back(static_cast<double>(ends[i] - starts[i]));
    }
    return SpreadOf(std::move(latency));
  }

  BenchOptions options_;
  Pty pty_;
  WireFrameCheck check_;
  PtyReader reader_;
};

}  // namespace

std::unique_ptr<Section> MakeWidgetWireSection(const BenchOptions& options) {
  return std::make_unique<WidgetWireSection>(options);
}

}  // namespace lumivane::bench
