// SPDX-License-Identifier: MIT
// The road of SetChannel to the widget's serial line. Throughput: a pty
// whose other end a reader thread drains, against raw write(2) of a
// 518-byte frame into the same pty. Latency and lost frames: the widget
// simulator, against raw write(2) to the simulator.
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
    runner.Register("raw_write_518", [this](benchmark::State& state) {
      const auto frame = HandBuiltFrame(Levels{});
      for (auto _ : state) WriteAll(pty_.terminal(), frame);
      state.SetItemsProcessed(state.iterations());
    });
    runner.Register("raw_write_polling_518", [this](benchmark::State& state) {
      const auto frame = HandBuiltFrame(Levels{});
      for (auto _ : state) WriteAllPolling(pty_.nonBlockingTerminal(), frame);
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
    AddThroughput(runner, table);
    AddAllocations(table);
    session_.UseWidgetOn(kSimulatorPort, simulator_.devicePath());
    AddLatency(table);
    AddLoss(table);
  }

 private:
  static double Rate(const MicroResult& r) {
    const auto it = r.counters.find("items_per_second");
    return it == r.counters.end() ? 0 : it->second;
  }

  void AddThroughput(const MicroRunner& runner, ResultsTable& table) {
    const MicroResult calls = runner.Result("SetChannel_c_abi");
    const double callRate = Rate(calls);
    const double rawRate = Rate(runner.Result("raw_write_518"));
    const double pollingRate = Rate(runner.Result("raw_write_polling_518"));
    const double ratio = rawRate > 0 ? callRate / rawRate : 0;
    const std::string measured =
        calls.ran ? FormatFixed(callRate, 0) + " calls/s" : "failed: " + calls.error;
    table.Add({"SetChannel end to end (C ABI into drained pty)", measured,
               FormatFixed(rawRate, 0) + " write(2)/s of 518 B", FormatFixed(ratio, 2),
               ">= 0.90 of floor", calls.ran && ratio >= 0.90});
    // Why it may fall short: the port must never block the host for good,
    // so it writes non-blocking and waits in poll(2) when the line is full.
    table.Add({"  same, against non-blocking write(2) + poll(2)", measured,
               FormatFixed(pollingRate, 0) + " write(2)/s of 518 B",
               FormatFixed(pollingRate > 0 ? callRate / pollingRate : 0, 2), "report",
               std::nullopt});
  }

  void AddAllocations(ResultsTable& table) {
    const size_t warmUp = 1000;
    const size_t calls = options_.Count(100'000);
    for (size_t i = 0; i < warmUp; ++i) session_.SetChannel(ChannelOf(k_), ValueOf(k_++));
    const uint64_t before = lv_bench_thread_allocations();
    for (size_t i = 0; i < calls; ++i) session_.SetChannel(ChannelOf(k_), ValueOf(k_++));
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
      TimeBlock(n, plugin, [&] { session_.SetChannel(ChannelOf(k_), ValueOf(k_++)); });
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
