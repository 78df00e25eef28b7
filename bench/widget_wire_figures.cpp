// SPDX-License-Identifier: MIT
// The road of SetChannel to the widget's serial line. The host's cost per
// call into a drained pty, against the cheapest call through the same ABI;
// the line's use while the host outpaces a paced widget, against the
// link's rate. Latency and lost frames: the widget simulator, against raw
// write(2) to the simulator.
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <string>

#include "bench/allocation_hooks.h"
#include "bench/checked_calls.h"
#include "bench/plugin_session.h"
#include "bench/pty_wire.h"
#include "bench/sample_stats.h"
#include "bench/section.h"
#include "host/widget_simulator.h"

namespace lumivane::bench {
namespace {

constexpr size_t kFrameSize = 518;
constexpr int kDrainPort = 1;
constexpr int kSimulatorPort = 2;
constexpr auto kFrameWait = std::chrono::seconds(5);

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

int64_t StampNs(std::chrono::steady_clock::time_point at) {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

std::string LatencyText(const Spread& s) {
  return FormatNs(s.p50) + " / " + FormatNs(s.p99) + " / " + FormatNs(s.max);
}

// A descriptor of its own on the simulator's tty, opened before the
// plug-in takes the port, for the raw writes of the floor.
Fd OpenRaw(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0) throw std::runtime_error("cannot open " + path);
  termios raw{};
  ::tcgetattr(fd.get(), &raw);
  ::cfmakeraw(&raw);
  ::tcsetattr(fd.get(), TCSANOW, &raw);
  return fd;
}

class WidgetWireSection final : public Section {
 public:
  explicit WidgetWireSection(const BenchOptions& options)
      : options_(options), drain_(pty_.master()), simulatorRaw_(OpenRaw(simulator_.devicePath())) {
    session_.UseWidgetOn(kDrainPort, pty_.path());
    // The initial frame (6 bytes) shows the port is open.
    for (int i = 0; i < 500 && drain_.bytes() < 6; ++i) ::usleep(1000);
    if (drain_.bytes() < 6) throw std::runtime_error("the plug-in did not open its port");
  }

  void Register(MicroRunner& runner) override {
    runner.Register("Enable_c_abi", [this](benchmark::State& state) {
      for (auto _ : state) benchmark::DoNotOptimize(session_.Enable());
      state.SetItemsProcessed(state.iterations());
    });
    runner.Register("SetChannel_c_abi", [this](benchmark::State& state) {
      for (auto _ : state) {
        if (session_.SetChannel(ChannelOf(k_), ValueOf(k_)) != 0) {
          state.SkipWithError(("SetChannel failed: " + session_.LastError()).c_str());
          break;
        }
        ++k_;
      }
      state.SetItemsProcessed(state.iterations());
    });
  }

  void Measure(const MicroRunner& runner, ResultsTable& table) override {
    AddCallCost(runner, table);
    AddAllocations(table);
    session_.UseWidgetOn(kSimulatorPort, simulator_.devicePath());
    AddLatency(table);
    AddLoss(table);
    AddLineUse(table);
  }

 private:
  static double Rate(const MicroResult& r) {
    const auto it = r.counters.find("items_per_second");
    return it == r.counters.end() ? 0 : it->second;
  }

  // What a call costs the host: since superseded pushes cost nothing but
  // the store, a calls-per-second figure against write(2) says nothing of
  // the wire; against the cheapest call it says what SetChannel adds.
  void AddCallCost(const MicroRunner& runner, ResultsTable& table) {
    const MicroResult calls = runner.Result("SetChannel_c_abi");
    const double callRate = Rate(calls);
    const double enableRate = Rate(runner.Result("Enable_c_abi"));
    const double callNs = callRate > 0 ? 1e9 / callRate : 0;
    const double enableNs = enableRate > 0 ? 1e9 / enableRate : 0;
    const std::string measured =
        calls.ran ? FormatNs(callNs) + " a call" : "failed: " + calls.error;
    table.Add({"SetChannel host cost (C ABI, drained pty)", measured,
               FormatNs(enableNs) + " Enable through the same ABI",
               FormatFixed(enableNs > 0 ? callNs / enableNs : 0, 1), "report", std::nullopt});
  }

  void AddAllocations(ResultsTable& table) {
    const size_t warmUp = 1000;
    const size_t calls = options_.Count(100'000);
    for (size_t i = 0; i < warmUp; ++i, ++k_) session_.SetChannel(ChannelOf(k_), ValueOf(k_));
    const uint64_t before = lv_bench_thread_allocations();
    for (size_t i = 0; i < calls; ++i, ++k_) session_.SetChannel(ChannelOf(k_), ValueOf(k_));
    const uint64_t allocations = lv_bench_thread_allocations() - before;
    table.Add({"Allocations per SetChannel (steady state)",
               std::to_string(allocations) + " in " + std::to_string(calls) + " calls", "0", "-",
               "0", allocations == 0});
  }

  // Waits for the frame the last (re)start sent, then forgets it.
  void ForgetInitialFrame() {
    simulator_.WaitForMessages(1, kFrameWait);
    simulator_.ClearMessages();
  }

  // One frame at a time, from the call to the frame complete at the
  // simulator. Blocks of plug-in calls and of raw writes alternate so that
  // a busy neighbour weighs on both alike.
  void AddLatency(ResultsTable& table) {
    ForgetInitialFrame();
    const size_t frames = options_.Count(10'000);
    const size_t block = 1000;
    simulator_.SetRecordLimit(block);
    std::vector<double> plugin;
    std::vector<double> raw;
    const auto frame = HandBuiltFrame(Levels{});
    for (size_t done = 0; done < frames; done += block) {
      const size_t n = std::min(block, frames - done);
      TimeBlock(n, plugin, [&] {
        session_.SetChannel(ChannelOf(k_), ValueOf(k_));
        ++k_;
      });
      TimeBlock(n, raw, [&] { WriteAll(simulatorRaw_.get(), frame); });
    }
    const Spread measured = SpreadOf(plugin);
    const Spread floor = SpreadOf(raw);
    table.Add({"Host-to-wire latency p50/p99/max (" + std::to_string(measured.count) + " frames)",
               LatencyText(measured), LatencyText(floor) + " raw write(2)",
               FormatFixed(floor.p50 > 0 ? measured.p50 / floor.p50 : 0, 2) + " at p50",
               "p50 < 50 us, p99 < 500 us",
               measured.count == frames && measured.p50 < 50e3 && measured.p99 < 500e3});
  }

  template <typename Send>
  void TimeBlock(size_t n, std::vector<double>& latency, Send send) {
    simulator_.ClearMessages();
    std::vector<int64_t> starts(n);
    for (size_t i = 0; i < n; ++i) {
      starts[i] = NowNs();
      send();
      if (!simulator_.WaitForMessages(i + 1, kFrameWait)) break;
    }
    const auto messages = simulator_.Messages();
    for (size_t i = 0; i < std::min(n, messages.size()); ++i) {
      latency.push_back(static_cast<double>(StampNs(messages[i].at) - starts[i]));
    }
  }

  // Every call at full speed, every frame checked at the simulator.
  void AddLoss(ResultsTable& table) {
    const uint64_t calls = options_.Count(100'000);
    const CheckedRun run = RunCheckedCalls(session_, simulator_, kSimulatorPort, calls);
    table.Add({"Frames lost / corrupted (" + std::to_string(calls) + " calls)", RunText(run),
               "0 / 0", "-", "0 / 0", run.ok()});
  }

  // The host calls as fast as it can while the widget takes bytes at a
  // real link's pace: the line should stay busy.
  void AddLineUse(ResultsTable& table) {
    constexpr uint32_t kLinkRate = 250'000;
    simulator_.SetLinkRate(kLinkRate);
    simulator_.WaitForMessages(1, kFrameWait);
    const uint64_t before = simulator_.ReceivedBytes();
    const auto start = std::chrono::steady_clock::now();
    const auto length = std::chrono::milliseconds(options_.quick ? 500 : 2000);
    while (std::chrono::steady_clock::now() - start < length) {
      session_.SetChannel(ChannelOf(k_), ValueOf(k_));
      ++k_;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double rate = static_cast<double>(simulator_.ReceivedBytes() - before) / seconds;
    simulator_.SetLinkRate(0);
    table.Add({"Line's use under saturation (widget paced at 250 kB/s)",
               FormatFixed(rate / 1000, 1) + " kB/s on the wire",
               FormatFixed(kLinkRate / 1000.0, 1) + " kB/s the link's rate",
               FormatFixed(rate / kLinkRate, 3), ">= 0.90 of the link's rate",
               rate >= 0.9 * kLinkRate});
  }

  BenchOptions options_;
  PluginSession session_;  // first: it sets XDG_CONFIG_HOME
  Pty pty_;
  PtyReader drain_;
  sim::WidgetSimulator simulator_;
  Fd simulatorRaw_;
  uint64_t k_ = 0;
};

}  // namespace

std::unique_ptr<Section> MakeWidgetWireSection(const BenchOptions& options) {
  return std::make_unique<WidgetWireSection>(options);
}

}  // namespace lumivane::bench
